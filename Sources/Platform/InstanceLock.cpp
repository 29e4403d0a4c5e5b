#include "Platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct flock wholeFile(short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however long the file grows
    return lock;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

InstanceLock::InstanceLock(QString path) : m_path(std::move(path)) {}

InstanceLock::~InstanceLock()
{
    // Closing lets the lock go. The file stays: removing it could let two processes lock two
    // different files of the same name.
    if (m_fd >= 0)
        ::close(m_fd);
}

InstanceLock::Result InstanceLock::tryLock()
{
    if (m_fd >= 0)
        return Result::acquired;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("Could not create ") + folder;
        return Result::failed;
    }
    // No O_TRUNC and no write: a second process opening the file must not disturb the holder.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("Could not open ") + m_path + QStringLiteral(": ") + systemError();
        return Result::failed;
    }
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_SETLK, &lock) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EACCES || error == EAGAIN)
            return Result::heldByAnother;
        errno = error;
        m_error = QStringLiteral("Could not lock ") + m_path + QStringLiteral(": ") + systemError();
        return Result::failed;
    }
    m_fd = fd;
    return Result::acquired;
}

qint64 InstanceLock::holder(const QString& path)
{
    // Read-only and never created: asking must not make a file appear, nor block on a FIFO.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return 0;
    struct flock probe = wholeFile(F_WRLCK);
    const bool asked = ::fcntl(fd, F_GETLK, &probe) == 0;
    ::close(fd);
    if (!asked || probe.l_type == F_UNLCK || probe.l_pid <= 0)
        return 0;
    return probe.l_pid;
}
