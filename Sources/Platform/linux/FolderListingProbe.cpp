#include "Platform/linux/FolderListingProbe.h"

#include "Platform/Paths.h"

#include <QFile>

#include <array>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// Kept here rather than taken from the catalogue: the platform layer sits below it.
// The folders hosts scan, under R and under H alike.
constexpr std::array<const char*, 6> kPluginFolders = {
    "/Library/Audio/Plug-Ins/Components",
    "/Library/Audio/Plug-Ins/VST",
    "/Library/Audio/Plug-Ins/VST3",
    "/Library/Audio/Plug-Ins/CLAP",
    "/Library/Application Support/Avid/Audio/Plug-Ins",
    "/Library/Application Support/Avid/Audio/Plug-Ins (Unused)",
};

enum class Listing { missing, listable, refused };

Listing listingOf(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return (errno == ENOENT || errno == ENOTDIR) ? Listing::missing : Listing::refused;
    // A file standing where a folder belongs is the scanner's to report, not a matter of access.
    if (!S_ISDIR(st.st_mode))
        return Listing::missing;
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return Listing::refused;
    ::closedir(dir);
    return Listing::listable;
}

/// The folders directly inside `path` whose names start with `prefix` (all when empty).
QStringList subfolders(const QString& path, const QByteArray& prefix = {})
{
    QStringList result;
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir)
        return result;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == ".." || !name.startsWith(prefix))
            continue;
        const QString child = path + u'/' + QFile::decodeName(name);
        struct stat st {};
        if (::stat(QFile::encodeName(child).constData(), &st) == 0 && S_ISDIR(st.st_mode))
            result.append(child);
    }
    ::closedir(dir);
    return result;
}

} // namespace

QStringList FolderListingProbe::guardedFolders()
{
    QStringList folders;
    for (const char* folder : kPluginFolders) {
        folders.append(Paths::system(QString::fromLatin1(folder)));
        folders.append(Paths::user(QString::fromLatin1(folder)));
    }
    // The central disabled folder with its per-format folders, and the Waves version
    // folders with the "Disabled" folder beside their bundles.
    const QString disabled = Paths::system(QStringLiteral("/Library/Audio/Plug-Ins/Disabled"));
    folders.append(disabled);
    folders.append(subfolders(disabled));
    const QString waves = Paths::system(QStringLiteral("/Applications/Waves"));
    folders.append(waves);
    for (const QString& version : subfolders(waves, "Plug-Ins V")) {
        folders.append(version);
        folders.append(version + QStringLiteral("/Disabled"));
    }
    return folders;
}

bool FolderListingProbe::hasAccess() const
{
    for (const QString& folder : guardedFolders()) {
        if (listingOf(folder) == Listing::refused)
            return false;
    }
    return true;
}
