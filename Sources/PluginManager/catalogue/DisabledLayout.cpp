#include "catalogue/DisabledLayout.h"

#include "Platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace DisabledLayout {

namespace {
const QString kUnusedMarker = QStringLiteral("Plug-Ins (Unused)");
const QString kUnusedFolder = QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins (Unused)");

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

QString copyRecursively(const QString& source, const QString& destination);

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
        return ::symlink(target.constData(), dst.constData()) == 0 ? QString() : errnoText(errno);
    }
    if (S_ISDIR(info.st_mode))
        return copyRecursively(source, destination);
    if (!QFile::copy(source, destination))
        return QStringLiteral("cannot copy %1 to %2").arg(source, destination);
    ::chmod(dst.constData(), info.st_mode & 07777);
    return {};
}

QString copyRecursively(const QString& source, const QString& destination)
{
    struct stat info {};
    if (::stat(QFile::encodeName(source).constData(), &info) != 0)
        return errnoText(errno);
    if (::mkdir(QFile::encodeName(destination).constData(), info.st_mode & 07777) != 0)
        return errnoText(errno);
    const QDir dir(source);
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        QString reason = copyEntry(source + u'/' + entry, destination + u'/' + entry);
        if (!reason.isEmpty())
            return reason;
    }
    return {};
}
} // namespace

QString centralDisabledDirectory()
{
    return Paths::system(QStringLiteral("/Library/Audio/Plug-Ins/Disabled"));
}

QString destinationFolder(const AudioPlugin& plugin)
{
    switch (plugin.format) {
    case PluginFormat::aax:
        return Paths::system(kUnusedFolder);
    case PluginFormat::wavesBundle:
        return parentFolder(plugin.originalPath) + QStringLiteral("/Disabled");
    case PluginFormat::au:
    case PluginFormat::vst3:
    case PluginFormat::vst2:
    case PluginFormat::clap:
        break;
    }
    return centralDisabledDirectory() + u'/' + PluginFormats::rawValue(plugin.format);
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
    QStringList folders{centralDisabledDirectory() + u'/' + PluginFormats::rawValue(format)};
    if (format == PluginFormat::aax)
        folders << Paths::system(kUnusedFolder) << Paths::user(kUnusedFolder);
    return folders;
}

ReadRules currentReadRules()
{
    ReadRules rules;
    rules.centralDisabled = centralDisabledDirectory();
    rules.avidSystemFolder = Paths::system(QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins/"));
    for (PluginFormat format : PluginFormats::allCases) {
        const QStringList folders = PluginFormats::systemPaths(format);
        if (!folders.isEmpty())
            rules.systemFolder[static_cast<size_t>(format)] = folders.first();
    }
    return rules;
}

bool isDisabledPath(const QString& bundlePath, const ReadRules& rules)
{
    return bundlePath.contains(rules.centralDisabled) || bundlePath.contains(kUnusedMarker);
}

QString returnPath(const QString& bundlePath, PluginFormat format, const ReadRules& rules)
{
    const QString name = bundlePath.mid(bundlePath.lastIndexOf(u'/') + 1);
    if (bundlePath.contains(rules.centralDisabled))
        return rules.systemFolder[static_cast<size_t>(format)] + u'/' + name;
    if (bundlePath.contains(kUnusedMarker))
        return rules.avidSystemFolder + name;
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

Road roadFor(const AudioPlugin& plugin)
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

QString disableCommand(const QString& source, const QString& destination)
{
    return QStringLiteral("mkdir -p ") + shellQuote(parentFolder(destination)) + QStringLiteral(" && mv ") +
           shellQuote(source) + u' ' + shellQuote(destination);
}

QString enableCommand(const QString& source, const QString& destination)
{
    return QStringLiteral("mv ") + shellQuote(source) + u' ' + shellQuote(destination);
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

QString privilegedMoveCommand(const QString& source, const QString& destination, bool disable, bool clearAUCache)
{
    QString command = disable ? disableCommand(source, destination) : enableCommand(source, destination);
    if (clearAUCache)
        command += auCachePurgeSuffix();
    return command;
}

QString moveItem(const QString& source, const QString& destination)
{
    if (!pathExists(source))
        return QStringLiteral("%1 does not exist").arg(source);
    if (pathExists(destination))
        return QStringLiteral("%1 already exists").arg(destination);
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(destination);
    if (::rename(src.constData(), dst.constData()) == 0)
        return {};
    if (errno != EXDEV)
        return QStringLiteral("cannot move %1 to %2: %3").arg(source, destination, errnoText(errno));
    // Another file system: copy whole, then remove the source; a failed copy is undone.
    const QString reason = copyEntry(source, destination);
    if (!reason.isEmpty()) {
        QFileInfo(destination).isDir() && !QFileInfo(destination).isSymLink() ? QDir(destination).removeRecursively()
                                                                              : QFile::remove(destination);
        return QStringLiteral("cannot move %1 to %2: %3").arg(source, destination, reason);
    }
    const bool removed = QFileInfo(source).isDir() && !QFileInfo(source).isSymLink() ? QDir(source).removeRecursively()
                                                                                     : QFile::remove(source);
    if (!removed)
        return QStringLiteral("moved %1 to %2 but could not remove the original").arg(source, destination);
    return {};
}

} // namespace DisabledLayout
