#include "snapshots/SnapshotStoreTest.h"

#include "MenuBarHelper/snapshots/LogicProPrefsManager.h"
#include "MenuBarHelper/snapshots/ProToolsPrefsManager.h"
#include "MenuBarHelper/snapshots/StudioOnePrefsManager.h"
#include "widgets/Prompter.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QStringList SnapshotStoreTest::tree(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(folder).relativeFilePath(path);
        entries.append(QFileInfo(path).isDir() ? relative + u'/' : relative + u'=' + QString::fromUtf8(readFile(path)));
    }
    entries.sort();
    return entries;
}

QStringList SnapshotStoreTest::hiddenNames(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*")}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QStringList SnapshotStoreTest::names(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

namespace {

QByteArray readRaw(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<unreadable>";
    QByteArray bytes;
    char buffer[65536];
    for (ssize_t got = 0; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, got);
    ::close(fd);
    return bytes;
}

void walkRaw(const QByteArray& folder, const QByteArray& relative, bool metadata, QList<QByteArray>& entries)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = folder + '/' + name;
        const QByteArray rel = relative.isEmpty() ? name : relative + '/' + name;
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0)
            continue;
        QByteArray line;
        if (S_ISLNK(info.st_mode)) {
            QByteArray target(4096, '\0');
            target.truncate(::readlink(path.constData(), target.data(), static_cast<size_t>(target.size())));
            line = rel + "->" + target;
        } else if (S_ISDIR(info.st_mode)) {
            line = rel + '/';
        } else {
            line = rel + '=' + readRaw(path);
        }
        if (metadata && !S_ISLNK(info.st_mode))
            line += " mode=" + QByteArray::number(info.st_mode & 07777, 8) +
                    " mtime=" + QByteArray::number(static_cast<qint64>(info.st_mtim.tv_sec));
        entries.append(line);
        if (S_ISDIR(info.st_mode))
            walkRaw(path, rel, metadata, entries);
    }
    ::closedir(dir);
}

} // namespace

QList<QByteArray> SnapshotStoreTest::rawTree(const QString& folder, bool metadata)
{
    QList<QByteArray> entries;
    walkRaw(QFile::encodeName(folder), {}, metadata, entries);
    std::sort(entries.begin(), entries.end());
    return entries;
}

void SnapshotStoreTest::writeRaw(const QByteArray& path, const QByteArray& bytes)
{
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0755); // the parents, whatever bytes their names hold
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
}

void SnapshotStoreTest::setModificationTime(const QString& path, qint64 secondsSinceEpoch)
{
    const timespec times[2] = {{static_cast<time_t>(secondsSinceEpoch), 0},
                               {static_cast<time_t>(secondsSinceEpoch), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

void SnapshotStoreTest::TearDown()
{
    // Read-only folders that a test made or copied must not keep the sandbox from being removed.
    QDirIterator it(QFileInfo(home()).path(), QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0755);
    SandboxTest::TearDown();
}

SnapshotStores SnapshotStoreTest::storesOver(const std::shared_ptr<SnapshotFiles>& work) const
{
    return {std::make_shared<LogicProPrefsManager>(clock, work), std::make_shared<ProToolsPrefsManager>(clock, work),
            std::make_shared<StudioOnePrefsManager>(clock, work)};
}
