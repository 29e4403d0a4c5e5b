#pragma once

#include "catalogue/PluginModels.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringMatcher>

#include <array>
#include <utility>

/// Where disabled bundles go and where they return to (read by the scan, written by
/// the operations), how they are moved, and the exact shell texts of a privileged move. Every system path comes from
/// Paths::system, so with no root prefix the texts are those the program has always run.
namespace DisabledLayout {

/// R + the central disabled folder (PluginFolderTable).
QString centralDisabledDirectory();
/// The folder a plug-in's bundle is moved into when it is disabled.
QString destinationFolder(const AudioPlugin& plugin);

/// A file name split as the shell user sees it: "Comp.component" -> ("Comp", "component");
/// a name without a dot (or with only a leading one) has no extension.
struct NameParts {
    QString base;
    QString extension;
};
NameParts splitFileName(const QString& fileName);
/// The last path component.
QString fileName(const QString& path);
/// The containing folder of a path ("/a/b" -> "/a").
QString parentFolder(const QString& path);

/// True when anything (a file, a folder, a dangling link) sits at `path`.
bool pathExists(const QString& path);

/// The folders the scan finds a format's disabled bundles in, in walk order.
QStringList disabledFolders(PluginFormat format);

/// The folder texts a found bundle's status and return path are decided by, taken once
/// per scan so the walk does not re-read the environment per bundle.
struct LayoutFolders {
    // The two disabled folders, set up once for searching: a scan looks for them in every bundle's path.
    QStringMatcher centralDisabled;
    QStringMatcher unusedName;           // the name of the AAX disabled folder, matched under R and H alike
    QString avidSystemFolder;            // the AAX system folder + "/"
    std::array<QString, 6> systemFolder; // first system folder, by format
};
LayoutFolders currentLayoutFolders();
/// Whether a bundle found at `bundlePath` sits in the disabled layout.
bool isDisabledPath(const QString& bundlePath, const LayoutFolders& folders);
/// Where a bundle found at `bundlePath` returns to when enabled, as far as its folder
/// tells: the format's system folder for the central folder, the AAX system folder for
/// an AAX disabled folder (under R or H), else where it is.
QString returnPath(const QString& bundlePath, PluginFormat format, const LayoutFolders& folders);

/// `folder` + "/" + `name`, or the first free "base n.extension" (n from 1; the dot is
/// always written). A name is taken when it exists on disk or is in `reserved`.
QString freeDestination(const QString& folder, const QString& name, const QSet<QString>& reserved = {});
/// The destination of a disable: the layout folder plus the bundle's own name, or a
/// free name there. The chosen path is added to `reserved` when given, so later
/// items of the same batch skip it.
QString disableDestination(const AudioPlugin& plugin, QSet<QString>* reserved = nullptr);

/// How a plug-in's bundle moves, in both directions.
struct MoveRoute {
    bool privileged = false;
    bool clearAUCache = false;
    bool operator==(const MoveRoute&) const = default;
};
/// Privileged when originalPath begins with R + "/Library" (purging the Audio Units
/// cache for Audio Units), plain for anything else but Waves, privileged without purge
/// for Waves outside it.
MoveRoute routeFor(const AudioPlugin& plugin);

/// True when `path` is a bundle the operations may move or remove: clean and absolute,
/// not hidden, carrying one of the format's extensions, and inside one of the format's
/// plug-in folders or its disabled layout (for Waves: a version folder in the Waves folder,
/// or the disabled folder beside its bundles). A hand-edited catalogue row or
/// origins record can name anything; nothing else is handed to a move, least of all as root.
bool isManagedBundlePath(const QString& path, PluginFormat format);

/// The hidden names a move across file systems stages through begin with this; the scan
/// never reads hidden names, and start-up removes those a killed move left behind.
QString stagingPrefix();
/// True for a path whose last component is a staging name.
bool isStagingPath(const QString& path);

/// One planned move as it is run.
struct MovePaths {
    MovePaths() = default;
    MovePaths(QString from, QString to, bool wasLink = false)
        : source(std::move(from)), destination(std::move(to)), sourceWasLink(wasLink)
    {
    }

    QString source;
    QString destination;
    /// The source was a symbolic link when the move was planned; otherwise a link found
    /// there when the move runs is refused.
    bool sourceWasLink = false;
    /// Set for a move across file systems: the bundle is copied to this hidden name beside
    /// the destination and renamed into place only when whole, and the source is set aside
    /// under `setAsideName` (hidden, beside it) before it is removed. A kill part-way leaves
    /// only hidden names behind, never a truncated bundle that the scan would catalogue.
    QString copyName;
    QString setAsideName;
};
/// Gives a move its two staging names (a new token each time).
void addStagingNames(MovePaths& move);
/// True when the source and the destination's folder (or its nearest existing parent)
/// lie on different devices, so a rename cannot move the bundle.
bool crossesDevices(const QString& source, const QString& destination);

/// The text in single quotes, each embedded quote written as '"'"'. Nothing else is escaped.
QString shellQuote(const QString& text);
/// "mkdir -p 'F' && " followed by the move (F the destination's folder).
QString disableCommand(const MovePaths& move);
/// The move alone. It never moves into or over anything: the destination must not exist
/// (checked in the same command, and `mv -T` never descends into a folder), and a source
/// that became a symbolic link after planning is refused: "[ ! -L 'S' ] && [ ! -e 'D' ] &&
/// [ ! -L 'D' ] && mv -T 'S' 'D'". Across file systems, through the staging names.
QString enableCommand(const MovePaths& move);
/// The Audio Units cache purge appended to privileged moves of Audio Units (155
/// characters with no root prefix).
QString auCachePurgeSuffix();
/// The whole command handed to the privileged runner for one move.
QString privilegedMoveCommand(const MovePaths& move, bool disable, bool clearAUCache);

/// Moves a file or folder as the calling user: a rename that never replaces anything, or
/// across file systems a copy to the staging name (made up when not given), a rename into
/// place and the removal of the source set aside. A failure part-way removes only what this
/// call created. Returns an empty string on success, else the reason.
QString moveItem(const MovePaths& move);
QString moveItem(const QString& source, const QString& destination);

/// Removes a file, link or folder (a link itself, never what it points to). True when
/// nothing is left at `path`.
bool removeTree(const QString& path);

} // namespace DisabledLayout
