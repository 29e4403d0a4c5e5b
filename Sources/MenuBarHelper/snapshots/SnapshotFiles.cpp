#include "MenuBarHelper/snapshots/SnapshotFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString failure(const QString& what, const QString& path, int error)
{
    return QStringLiteral("Could not %1 “%2”: %3").arg(what, SnapshotFiles::fileName(path), errnoText(error));
}

// Closes a descriptor on every return path.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

QString writeAll(int fd, const char* data, ssize_t size, const QString& to)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return failure(QStringLiteral("write"), to, errno);
        }
        data += written;
        size -= written;
    }
    return {};
}

QString copyFileContents(const QString& from, const QString& to, mode_t mode)
{
    Descriptor in(::open(QFile::encodeName(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.valid())
        return failure(QStringLiteral("read"), from, errno);
    // O_EXCL: the destination is always new, never an existing file written over.
    Descriptor out(::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777));
    if (!out.valid())
        return failure(QStringLiteral("create"), to, errno);
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failure(QStringLiteral("read"), from, errno);
        if (got == 0)
            break;
        if (QString reason = writeAll(out.get(), buffer, got, to); !reason.isEmpty())
            return reason;
    }
    if (::close(out.release()) != 0)
        return failure(QStringLiteral("write"), to, errno);
    return {};
}

QString copyLink(const QString& from, const QString& to)
{
    QByteArray target(4096, '\0');
    const ssize_t length =
        ::readlink(QFile::encodeName(from).constData(), target.data(), static_cast<size_t>(target.size()));
    if (length < 0)
        return failure(QStringLiteral("read"), from, errno);
    target.truncate(static_cast<qsizetype>(length));
    if (::symlink(target.constData(), QFile::encodeName(to).constData()) != 0)
        return failure(QStringLiteral("create"), to, errno);
    return {};
}

QString copyEntry(const QString& from, const QString& to);

QString copyFolder(const QString& from, const QString& to, mode_t mode)
{
    if (::mkdir(QFile::encodeName(to).constData(), (mode & 07777) | S_IRWXU) != 0)
        return failure(QStringLiteral("create"), to, errno);
    const QDir dir(from);
    if (!dir.isReadable())
        return failure(QStringLiteral("read"), from, EACCES);
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (QString reason = copyEntry(from + u'/' + entry, to + u'/' + entry); !reason.isEmpty())
            return reason;
    }
    return {};
}

QString copyEntry(const QString& from, const QString& to)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(from).constData(), &info) != 0)
        return failure(QStringLiteral("read"), from, errno);
    if (S_ISLNK(info.st_mode))
        return copyLink(from, to);
    if (S_ISDIR(info.st_mode))
        return copyFolder(from, to, info.st_mode);
    if (S_ISREG(info.st_mode))
        return copyFileContents(from, to, info.st_mode);
    return QStringLiteral("Could not copy “%1”: it is not a regular file or folder").arg(SnapshotFiles::fileName(from));
}

} // namespace

QString SnapshotFiles::copyItem(const QString& from, const QString& to)
{
    if (exists(to))
        return failure(QStringLiteral("copy to"), to, EEXIST);
    QString reason = copyEntry(from, to);
    if (!reason.isEmpty() && exists(to))
        removeItem(to); // a half copy is worse than none
    return reason;
}

QString SnapshotFiles::moveItem(const QString& from, const QString& to)
{
    // renameat2 with RENAME_NOREPLACE: a plain rename() silently replaces an empty folder.
    if (::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD, QFile::encodeName(to).constData(),
                    RENAME_NOREPLACE) != 0)
        return failure(QStringLiteral("move"), from, errno);
    return {};
}

QString SnapshotFiles::removeItem(const QString& path)
{
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) != 0)
        return failure(QStringLiteral("remove"), path, errno);
    if (!S_ISDIR(info.st_mode))
        return ::unlink(name.constData()) == 0 ? QString() : failure(QStringLiteral("remove"), path, errno);
    // QDir::removeRecursively does not follow links out of the folder.
    if (!QDir(path).removeRecursively())
        return failure(QStringLiteral("remove"), path, exists(path) ? EACCES : ENOENT);
    return {};
}

QString SnapshotFiles::makePath(const QString& path)
{
    if (QDir().mkpath(path))
        return {};
    return failure(QStringLiteral("create"), path, exists(path) ? ENOTDIR : EACCES);
}

bool SnapshotFiles::exists(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

QString SnapshotFiles::fileName(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString SnapshotFiles::parentPath(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
