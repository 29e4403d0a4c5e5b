#include "catalogue/DisabledLayout.h"

#include "Platform/Paths.h"
#include "Platform/PluginFolderTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DisabledLayout {

namespace {
QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Characters a shell never reads as anything but part of a word.
bool isShellSafe(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const bool safe = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                          c == u'/' || c == u'.' || c == u'_' || c == u'-';
        if (!safe)
            return false;
    }
    return true;
}

QString copyRecursively(const QString& source, const QString& destination, const struct stat& info);

// The times of the original, so the copy can be recognised as the bundle that left.
void copyTimes(const QByteArray& destination, const struct stat& info)
{
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    ::utimensat(AT_FDCWD, destination.constData(), times, AT_SYMLINK_NOFOLLOW);
}

// Creates `destination` afresh (never over an existing item) as a copy of `source`.
QString copyEntry(const QString& source, const QString& destination)
{
    struct stat info {};
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(destination);
    if (::lstat(src.constData(), &info) != 0)
        return errnoText(errno);
    if (S_ISLNK(info.st_mode)) {
        QByteArray target(4096, '\0');
        const ssize_t length = ::readlink(src.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length < 0)
            return errnoText(errno);
        target.truncate(static_cast<qsizetype>(length));
        if (::symlink(target.constData(), dst.constData()) != 0)
            return errnoText(errno);
        copyTimes(dst, info);
        return {};
    }
    if (S_ISDIR(info.st_mode))
        return copyRecursively(source, destination, info);
    if (DisabledLayout::pathExists(destination))
        return QStringLiteral("%1 already exists").arg(destination);
    if (!QFile::copy(source, destination))
        return QStringLiteral("cannot copy %1 to %2").arg(source, destination);
    ::chmod(dst.constData(), info.st_mode & 07777);
    copyTimes(dst, info);
    return {};
}

QString copyRecursively(const QString& source, const QString& destination, const struct stat& info)
{
    const QByteArray dst = QFile::encodeName(destination);
    if (::mkdir(dst.constData(), info.st_mode & 07777) != 0)
        return errnoText(errno);
    const QDir dir(source);
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        QString reason = copyEntry(source + u'/' + entry, destination + u'/' + entry);
        if (!reason.isEmpty())
            return reason;
    }
    // Last: creating the entries changed the folder's times.
    copyTimes(dst, info);
    return {};
}

// rename() that fails with EEXIST rather than replace anything at `destination`.
int renameNoReplace(const QByteArray& source, const QByteArray& destination)
{
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, destination.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system without the flag: check, then rename (a window of a few instructions).
    struct stat existing {};
    if (::lstat(destination.constData(), &existing) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(source.constData(), destination.constData());
}

QString quotedGuard(const char* test, const QString& path)
{
    return QStringLiteral("[ ") + QLatin1String(test) + u' ' + shellQuote(path) + QStringLiteral(" ] && ");
}

QString newToken()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString stagingName(const QString& folder, const char* kind)
{
    return folder + u'/' + stagingPrefix() + QLatin1String(kind) + u'-' + newToken();
}
} // namespace

QString centralDisabledDirectory()
{
    return PluginFolderTable::centralDisabledFolder();
}

QString destinationFolder(const AudioPlugin& plugin)
{
    if (plugin.format == PluginFormat::wavesBundle)
        return parentFolder(plugin.originalPath) + u'/' + QLatin1String(PluginFolderTable::kWavesDisabledFolder);
    return PluginFolderTable::disableFolder(PluginFormats::rawValue(plugin.format));
}

NameParts splitFileName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot <= 0)
        return {fileName, QString()};
    return {fileName.left(dot), fileName.mid(dot + 1)};
}

QString fileName(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

QString parentFolder(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : trimmed.left(slash);
}

bool pathExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

QStringList disabledFolders(PluginFormat format)
{
    return PluginFolderTable::disabledFolders(PluginFormats::rawValue(format));
}

LayoutFolders currentLayoutFolders()
{
    LayoutFolders folders;
    folders.centralDisabled.setPattern(centralDisabledDirectory());
    for (PluginFormat format : PluginFormats::allCases) {
        const QStringList found = PluginFormats::systemPaths(format);
        if (!found.isEmpty())
            folders.systemFolder[static_cast<size_t>(format)] = found.first();
    }
    const QString aax = PluginFormats::rawValue(PluginFormat::aax);
    folders.unusedName.setPattern(fileName(PluginFolderTable::disableFolder(aax)));
    folders.avidSystemFolder = folders.systemFolder[static_cast<size_t>(PluginFormat::aax)] + u'/';
    return folders;
}

bool isDisabledPath(const QString& bundlePath, const LayoutFolders& folders)
{
    return folders.centralDisabled.indexIn(bundlePath) >= 0 || folders.unusedName.indexIn(bundlePath) >= 0;
}

QString returnPath(const QString& bundlePath, PluginFormat format, const LayoutFolders& folders)
{
    const QString name = bundlePath.mid(bundlePath.lastIndexOf(u'/') + 1);
    if (folders.centralDisabled.indexIn(bundlePath) >= 0)
        return folders.systemFolder[static_cast<size_t>(format)] + u'/' + name;
    if (folders.unusedName.indexIn(bundlePath) >= 0)
        return folders.avidSystemFolder + name;
    return bundlePath;
}

QString freeDestination(const QString& folder, const QString& name, const QSet<QString>& reserved)
{
    QString candidate = folder + u'/' + name;
    const NameParts parts = splitFileName(name);
    for (int n = 1; pathExists(candidate) || reserved.contains(candidate); ++n)
        candidate = folder + u'/' + parts.base + u' ' + QString::number(n) + u'.' + parts.extension;
    return candidate;
}

QString disableDestination(const AudioPlugin& plugin, QSet<QString>* reserved)
{
    static const QSet<QString> kNone;
    QString destination =
        freeDestination(destinationFolder(plugin), fileName(plugin.currentPath), reserved ? *reserved : kNone);
    if (reserved)
        reserved->insert(destination);
    return destination;
}

MoveRoute routeFor(const AudioPlugin& plugin)
{
    if (plugin.originalPath.startsWith(Paths::system(QStringLiteral("/Library"))))
        return {true, plugin.format == PluginFormat::au};
    if (plugin.format != PluginFormat::wavesBundle)
        return {false, false};
    return {true, false};
}

QString shellQuote(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\"'\"'"));
    return u'\'' + quoted + u'\'';
}

bool isManagedBundlePath(const QString& path, PluginFormat format)
{
    if (!path.startsWith(u'/') || path.size() < 2 || QDir::cleanPath(path) != path)
        return false;
    const QString name = fileName(path);
    if (name.startsWith(u'.') || !PluginFormats::fileExtensions(format).contains(splitFileName(name).extension))
        return false;
    if (format == PluginFormat::wavesBundle) {
        QString folder = parentFolder(path);
        if (fileName(folder) == QLatin1String(PluginFolderTable::kWavesDisabledFolder))
            folder = parentFolder(folder);
        return parentFolder(folder) == PluginFolderTable::wavesFolder() &&
               fileName(folder).startsWith(QLatin1String(PluginFolderTable::kWavesVersionPrefix));
    }
    const QStringList roots = PluginFormats::systemPaths(format) + disabledFolders(format);
    return std::any_of(roots.cbegin(), roots.cend(),
                       [&path](const QString& root) { return path.startsWith(root + u'/'); });
}

QString stagingPrefix()
{
    return QStringLiteral(".rackhand-");
}

bool isStagingPath(const QString& path)
{
    return fileName(path).startsWith(stagingPrefix());
}

void addStagingNames(MovePaths& move)
{
    move.copyName = stagingName(parentFolder(move.destination), "copy");
    move.setAsideName = stagingName(parentFolder(move.source), "old");
}

bool crossesDevices(const QString& source, const QString& destination)
{
    struct stat from {};
    if (::lstat(QFile::encodeName(source).constData(), &from) != 0)
        return false;
    struct stat to {};
    QString folder = parentFolder(destination);
    while (::stat(QFile::encodeName(folder).constData(), &to) != 0) {
        if (folder == QLatin1String("/") || folder == QLatin1String("."))
            return false;
        folder = parentFolder(folder);
    }
    return from.st_dev != to.st_dev;
}

QString disableCommand(const MovePaths& move)
{
    return QStringLiteral("mkdir -p ") + shellQuote(parentFolder(move.destination)) + QStringLiteral(" && ") +
           enableCommand(move);
}

QString enableCommand(const MovePaths& move)
{
    const QString source = shellQuote(move.source);
    const QString destination = shellQuote(move.destination);
    QString command;
    if (!move.sourceWasLink)
        command += quotedGuard("! -L", move.source);
    command += quotedGuard("! -e", move.destination) + quotedGuard("! -L", move.destination);
    if (move.copyName.isEmpty())
        return command + QStringLiteral("mv -T ") + source + u' ' + destination;
    // Across file systems: copy under the staging name and rename it into place; set the
    // source aside before removing it. Each failure undoes only what this line made.
    const QString copy = shellQuote(move.copyName);
    const QString aside = shellQuote(move.setAsideName);
    return command + quotedGuard("! -e", move.copyName) + quotedGuard("! -L", move.copyName) +
           QStringLiteral("{ cp -a ") + source + u' ' + copy + QStringLiteral(" && mv -T ") + copy + u' ' +
           destination + QStringLiteral(" || { rm -rf ") + copy + QStringLiteral("; false; }; } && { mv -T ") + source +
           u' ' + aside + QStringLiteral(" || { rm -rf ") + destination + QStringLiteral("; false; }; } && rm -rf ") +
           aside;
}

QString auCachePurgeSuffix()
{
    // The system cache path stays a bare word as long as it needs no quoting (always so
    // without a root prefix); a sandbox root with unusual characters is quoted.
    QString systemCache = Paths::system(QStringLiteral("/Library/Caches/com.apple.audiounits.cache"));
    if (!isShellSafe(systemCache))
        systemCache = shellQuote(systemCache);
    return QStringLiteral(" && rm -rf ~/Library/Caches/AudioUnitCache/* ") + systemCache +
           QStringLiteral(" 2>/dev/null && killall -9 AudioComponentRegistrar 2>/dev/null; true");
}

QString privilegedMoveCommand(const MovePaths& move, bool disable, bool clearAUCache)
{
    QString command = disable ? disableCommand(move) : enableCommand(move);
    if (clearAUCache)
        command += auCachePurgeSuffix();
    return command;
}

QString moveItem(const QString& source, const QString& destination)
{
    return moveItem(MovePaths(source, destination));
}

QString moveItem(const MovePaths& move)
{
    const QString& source = move.source;
    const QString& destination = move.destination;
    if (!pathExists(source))
        return QStringLiteral("%1 does not exist").arg(source);
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(destination);
    if (renameNoReplace(src, dst) == 0)
        return {};
    if (errno == EEXIST)
        return QStringLiteral("%1 already exists").arg(destination);
    if (errno != EXDEV)
        return QStringLiteral("cannot move %1 to %2: %3").arg(source, destination, errnoText(errno));
    if (pathExists(destination))
        return QStringLiteral("%1 already exists").arg(destination);

    // Another file system: a whole copy under a hidden name first, renamed into place.
    MovePaths staged = move;
    if (staged.copyName.isEmpty() || staged.setAsideName.isEmpty())
        addStagingNames(staged);
    if (pathExists(staged.copyName) || pathExists(staged.setAsideName))
        return QStringLiteral("cannot move %1: its staging name is taken").arg(source);
    const QByteArray copy = QFile::encodeName(staged.copyName);
    const QByteArray aside = QFile::encodeName(staged.setAsideName);
    QString reason = copyEntry(source, staged.copyName);
    if (reason.isEmpty() && renameNoReplace(copy, dst) != 0)
        reason = errno == EEXIST ? QStringLiteral("%1 already exists").arg(destination) : errnoText(errno);
    if (!reason.isEmpty()) {
        removeTree(staged.copyName);
        return QStringLiteral("cannot move %1 to %2: %3").arg(source, destination, reason);
    }
    if (renameNoReplace(src, aside) != 0) {
        const QString why = errnoText(errno);
        removeTree(destination); // the copy made a moment ago: the bundle stays where it was
        return QStringLiteral("cannot move %1 to %2: the original cannot be removed: %3").arg(source, destination, why);
    }
    // The bundle is in place; a set-aside original that resists removal stays hidden until start-up.
    removeTree(staged.setAsideName);
    return {};
}

bool removeTree(const QString& path)
{
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &info) != 0)
        return errno == ENOENT;
    // QDir removes links found inside without following them.
    if (S_ISDIR(info.st_mode))
        QDir(path).removeRecursively();
    else
        ::unlink(native.constData());
    return !pathExists(path);
}

} // namespace DisabledLayout
