#include "MenuBarHelper/snapshots/SnapshotFiles.h"

#include <QFile>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kInternalPrefix = QStringLiteral(".rackhand-");

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray lastComponent(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// A failure of an entry given by a name inside an open folder, or by a whole path at the top.
QString failure(const QString& what, const QByteArray& nameOrPath, int error)
{
    return SnapshotFiles::failureText(what, QFile::decodeName(nameOrPath), error);
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

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Listing = std::unique_ptr<DIR, DirCloser>;

// The names of an open folder, read as bytes; none when it cannot be read.
std::optional<std::vector<QByteArray>> namesOf(int folder)
{
    const int copy = ::dup(folder);
    if (copy < 0)
        return std::nullopt;
    const Listing listing(::fdopendir(copy));
    if (!listing) {
        ::close(copy);
        return std::nullopt;
    }
    std::vector<QByteArray> names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing.get());
        if (!entry)
            break;
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    if (errno != 0)
        return std::nullopt;
    return names;
}

QString writeAll(int fd, const char* data, ssize_t size, const QByteArray& to)
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

QString copyEntry(int fromDir, const QByteArray& from, int toDir, const QByteArray& to, bool follow);

QString copyFile(int fromDir, const QByteArray& from, int toDir, const QByteArray& to, bool follow)
{
    // O_NONBLOCK: should a FIFO take the file's place after the check, opening it must not hang.
    Descriptor in(
        ::openat(fromDir, from.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW)));
    if (!in.valid())
        return failure(QStringLiteral("read"), from, errno);
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        return failure(QStringLiteral("read"), from, errno);
    if (!S_ISREG(info.st_mode))
        return failure(QStringLiteral("copy"), from, EINVAL);
    // O_EXCL: the destination is always new, never an existing file written over.
    Descriptor out(
        ::openat(toDir, to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR));
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
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (::fchmod(out.get(), info.st_mode & 07777) != 0 || ::futimens(out.get(), times) != 0)
        return failure(QStringLiteral("write"), to, errno);
    if (::close(out.release()) != 0)
        return failure(QStringLiteral("write"), to, errno);
    return {};
}

QString copyLink(int fromDir, const QByteArray& from, int toDir, const QByteArray& to, const struct stat& info)
{
    QByteArray target(static_cast<qsizetype>(info.st_size > 0 ? info.st_size + 1 : 4096), '\0');
    const ssize_t length = ::readlinkat(fromDir, from.constData(), target.data(), static_cast<size_t>(target.size()));
    if (length < 0)
        return failure(QStringLiteral("read"), from, errno);
    if (length >= target.size())
        return failure(QStringLiteral("read"), from, ENAMETOOLONG); // the link changed while being read
    target.truncate(static_cast<qsizetype>(length));
    if (::symlinkat(target.constData(), toDir, to.constData()) != 0)
        return failure(QStringLiteral("create"), to, errno);
    // A link's own times are kept where the file system can set them; a link has no mode.
    const timespec times[2] = {info.st_atim, info.st_mtim};
    ::utimensat(toDir, to.constData(), times, AT_SYMLINK_NOFOLLOW);
    return {};
}

QString copyFolder(int fromDir, const QByteArray& from, int toDir, const QByteArray& to, bool follow)
{
    Descriptor source(
        ::openat(fromDir, from.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW)));
    if (!source.valid())
        return failure(QStringLiteral("read"), from, errno);
    struct stat info {};
    if (::fstat(source.get(), &info) != 0)
        return failure(QStringLiteral("read"), from, errno);
    // Writable while it is filled; its own mode comes last.
    if (::mkdirat(toDir, to.constData(), S_IRWXU) != 0)
        return failure(QStringLiteral("create"), to, errno);
    Descriptor target(::openat(toDir, to.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!target.valid())
        return failure(QStringLiteral("create"), to, errno);
    const auto names = namesOf(source.get());
    if (!names)
        return failure(QStringLiteral("read"), from, errno ? errno : EIO);
    for (const QByteArray& name : *names) {
        if (QString reason = copyEntry(source.get(), name, target.get(), name, false); !reason.isEmpty())
            return reason;
    }
    // Filling the folder changed its time: set it, and the mode, only now.
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (::fchmod(target.get(), info.st_mode & 07777) != 0 || ::futimens(target.get(), times) != 0)
        return failure(QStringLiteral("write"), to, errno);
    return {};
}

QString copyEntry(int fromDir, const QByteArray& from, int toDir, const QByteArray& to, bool follow)
{
    struct stat info {};
    if (::fstatat(fromDir, from.constData(), &info, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return failure(QStringLiteral("read"), from, errno);
    if (S_ISLNK(info.st_mode))
        return copyLink(fromDir, from, toDir, to, info);
    if (S_ISDIR(info.st_mode))
        return copyFolder(fromDir, from, toDir, to, follow);
    if (S_ISREG(info.st_mode))
        return copyFile(fromDir, from, toDir, to, follow);
    return QStringLiteral("Could not copy “%1”: it is not a regular file or folder")
        .arg(QFile::decodeName(lastComponent(from)));
}

// Removes an entry of an open folder (or a whole path at the top) with everything in it.
QString removeEntry(int dir, const QByteArray& name)
{
    struct stat info {};
    if (::fstatat(dir, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return failure(QStringLiteral("remove"), name, errno);
    if (!S_ISDIR(info.st_mode)) {
        if (::unlinkat(dir, name.constData(), 0) != 0)
            return failure(QStringLiteral("remove"), name, errno);
        return {};
    }
    // Only what the stores made is ever removed: a read-only copy is made writable to go.
    if ((info.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmodat(dir, name.constData(), (info.st_mode & 07777) | S_IRWXU, 0);
    Descriptor folder(::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid())
        return failure(QStringLiteral("remove"), name, errno);
    const auto names = namesOf(folder.get());
    if (!names)
        return failure(QStringLiteral("remove"), name, errno ? errno : EIO);
    for (const QByteArray& child : *names) {
        if (QString reason = removeEntry(folder.get(), child); !reason.isEmpty())
            return reason;
    }
    if (::unlinkat(dir, name.constData(), AT_REMOVEDIR) != 0)
        return failure(QStringLiteral("remove"), name, errno);
    return {};
}

qint64 sizeBelow(int folder)
{
    const auto names = namesOf(folder);
    if (!names)
        return 0;
    qint64 total = 0;
    for (const QByteArray& name : *names) {
        if (name.startsWith('.'))
            continue; // hidden entries, and whatever a hidden folder holds
        struct stat info {};
        if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(info.st_mode)) {
            total += static_cast<qint64>(info.st_size);
            continue;
        }
        const Descriptor child(::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (child.valid())
            total += sizeBelow(child.get());
    }
    return total;
}

} // namespace

QString SnapshotFiles::copyItem(const QString& from, const QString& to)
{
    if (exists(to))
        return failureText(QStringLiteral("copy to"), to, EEXIST);
    const QByteArray target = QFile::encodeName(to);
    QString reason = copyEntry(AT_FDCWD, QFile::encodeName(from), AT_FDCWD, target, true);
    if (!reason.isEmpty() && exists(to))
        removeEntry(AT_FDCWD, target); // a half copy is worse than none
    return reason;
}

QString SnapshotFiles::moveItem(const QString& from, const QString& to)
{
    // renameat2 with RENAME_NOREPLACE: a plain rename() silently replaces an empty folder.
    if (::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD, QFile::encodeName(to).constData(),
                    RENAME_NOREPLACE) != 0) {
        const int error = errno;
        // Something built in a hidden place is named by where it was going.
        if (isInternalName(fileName(from)))
            return QStringLiteral("Could not put “%1” in place: %2").arg(fileName(to), errnoText(error));
        return failureText(QStringLiteral("move"), from, error);
    }
    return {};
}

QString SnapshotFiles::exchangeItems(const QString& first, const QString& second)
{
    if (::renameat2(AT_FDCWD, QFile::encodeName(first).constData(), AT_FDCWD, QFile::encodeName(second).constData(),
                    RENAME_EXCHANGE) != 0)
        return QStringLiteral("Could not put “%1” in place: %2").arg(fileName(second), errnoText(errno));
    return {};
}

QString SnapshotFiles::removeItem(const QString& path)
{
    return removeEntry(AT_FDCWD, QFile::encodeName(path));
}

QString SnapshotFiles::removeEmptyFolder(const QString& path)
{
    if (::rmdir(QFile::encodeName(path).constData()) != 0)
        return failureText(QStringLiteral("remove"), path, errno);
    return {};
}

QString SnapshotFiles::makePath(const QString& path)
{
    const QByteArray full = QFile::encodeName(path);
    if (isFolder(path))
        return {};
    // Each missing folder in turn, so that a failure names the folder and its real reason.
    for (qsizetype end = full.indexOf('/', 1);; end = full.indexOf('/', end + 1)) {
        const QByteArray prefix = end < 0 ? full : full.left(end);
        if (!prefix.isEmpty() && ::mkdir(prefix.constData(), 0777) != 0) {
            const int error = errno;
            struct stat info {};
            if (error != EEXIST)
                return failure(QStringLiteral("create"), prefix, error);
            if (::stat(prefix.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
                return failure(QStringLiteral("create"), prefix, ENOTDIR);
        }
        if (end < 0)
            return {};
    }
}

QString SnapshotFiles::writeFile(const QString& path, const QByteArray& bytes)
{
    if (exists(path))
        return failureText(QStringLiteral("create"), path, EEXIST);
    const QString temporary = parentPath(path) + u'/' + stagingName();
    const QByteArray name = QFile::encodeName(temporary);
    QString reason;
    {
        Descriptor out(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
        if (!out.valid())
            return failure(QStringLiteral("create"), name, errno);
        reason = writeAll(out.get(), bytes.constData(), bytes.size(), name);
        if (reason.isEmpty() && ::close(out.release()) != 0)
            reason = failure(QStringLiteral("write"), name, errno);
    }
    if (reason.isEmpty() &&
        ::renameat2(AT_FDCWD, name.constData(), AT_FDCWD, QFile::encodeName(path).constData(), RENAME_NOREPLACE) != 0)
        reason = failureText(QStringLiteral("create"), path, errno);
    if (!reason.isEmpty())
        ::unlink(name.constData());
    return reason;
}

bool SnapshotFiles::exists(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

bool SnapshotFiles::isLink(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool SnapshotFiles::isFolder(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::vector<QByteArray>> SnapshotFiles::rawEntries(const QString& folder)
{
    const Descriptor dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid())
        return std::nullopt;
    return namesOf(dir.get());
}

qint64 SnapshotFiles::totalSize(const QString& folder)
{
    const Descriptor dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.valid() ? sizeBelow(dir.get()) : 0;
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

QString SnapshotFiles::stagingName()
{
    return kInternalPrefix + QStringLiteral("staging-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

bool SnapshotFiles::isInternalName(const QString& name)
{
    return name.startsWith(kInternalPrefix);
}

QString SnapshotFiles::failureText(const QString& what, const QString& path, int error)
{
    const QString name = fileName(path);
    if (isInternalName(name) && path.contains(u'/'))
        return QStringLiteral("Could not write in “%1”: %2").arg(fileName(parentPath(path)), errnoText(error));
    return QStringLiteral("Could not %1 “%2”: %3").arg(what, name, errnoText(error));
}
