#include "Platform/DataFolderLock.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

DataFolderLock::DataFolderLock(const QString& folder)
    : m_path(folder + QLatin1Char('/') + QString::fromLatin1(kFileName))
{
    QDir().mkpath(folder);
    // Close-on-exec: a batch script or the helper started from here must not keep D locked
    // after this process has gone.
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_reason = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_state = State::held;
        return;
    }
    const int error = errno;
    if (error == EWOULDBLOCK) {
        m_state = State::heldElsewhere;
    } else {
        m_reason = QString::fromLocal8Bit(std::strerror(error));
    }
    ::close(m_fd);
    m_fd = -1;
}

DataFolderLock::~DataFolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
