#include "Platform/linux/FolderListingProbe.h"

#include "Platform/PluginFolderTable.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace {

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
    // Every folder of the table, the folders in the central disabled folder, and the Waves
    // version folders with the disabled folder beside their bundles.
    QStringList folders;
    for (const PluginFolderTable::Row& row : PluginFolderTable::rows())
        folders.append(PluginFolderTable::pathOf(row));
    folders.append(subfolders(PluginFolderTable::centralDisabledFolder()));
    const QString waves = PluginFolderTable::wavesFolder();
    folders.append(waves);
    for (const QString& version : subfolders(waves, PluginFolderTable::kWavesVersionPrefix)) {
        folders.append(version);
        folders.append(version + u'/' + QLatin1String(PluginFolderTable::kWavesDisabledFolder));
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
