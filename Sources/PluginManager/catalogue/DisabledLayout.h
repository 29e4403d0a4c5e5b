#pragma once

#include "catalogue/PluginModels.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <array>

/// Where disabled bundles go and where they return to (read by the scan, written by
/// the operations), how they are moved, and the exact shell texts of a privileged move. Every system path comes from
/// Paths::system, so with no root prefix the texts are those the program has always run.
namespace DisabledLayout {

/// R + "/Library/Audio/Plug-Ins/Disabled".
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
struct ReadRules {
    QString centralDisabled;
    QString avidSystemFolder;
    std::array<QString, 6> systemFolder; // first system folder, by format
};
ReadRules currentReadRules();
/// Whether a bundle found at `bundlePath` sits in the disabled layout.
bool isDisabledPath(const QString& bundlePath, const ReadRules& rules);
/// Where a bundle found at `bundlePath` returns to when enabled, as far as its folder
/// tells: the format's system folder for the central folder, the Avid system folder
/// for a "Plug-Ins (Unused)" folder, else where it is.
QString returnPath(const QString& bundlePath, PluginFormat format, const ReadRules& rules);

/// `folder` + "/" + `name`, or the first free "base n.extension" (n from 1; the dot is
/// always written). A name is taken when it exists on disk or is in `reserved`.
QString freeDestination(const QString& folder, const QString& name, const QSet<QString>& reserved = {});
/// The destination of a disable: the layout folder plus the bundle's own name, or a
/// free name there. The chosen path is added to `reserved` when given, so later
/// items of the same batch skip it.
QString disableDestination(const AudioPlugin& plugin, QSet<QString>* reserved = nullptr);

/// How a plug-in's bundle moves, in both directions.
struct Road {
    bool privileged = false;
    bool clearAUCache = false;
    bool operator==(const Road&) const = default;
};
/// Privileged when originalPath begins with R + "/Library" (purging the Audio Units
/// cache for Audio Units), plain for anything else but Waves, privileged without purge
/// for Waves outside it.
Road roadFor(const AudioPlugin& plugin);

/// The text in single quotes, each embedded quote written as '"'"'. Nothing else is escaped.
QString shellQuote(const QString& text);
/// "mkdir -p 'F' && mv 'S' 'D'" (F the destination's folder).
QString disableCommand(const QString& source, const QString& destination);
/// "mv 'S' 'D'".
QString enableCommand(const QString& source, const QString& destination);
/// The Audio Units cache purge appended to privileged moves of Audio Units (155
/// characters with no root prefix).
QString auCachePurgeSuffix();
/// The whole command handed to the privileged runner for one move.
QString privilegedMoveCommand(const QString& source, const QString& destination, bool disable, bool clearAUCache);

/// Moves a file or folder (rename, or copy and remove across file systems). Never
/// replaces an existing destination. Returns an empty string on success, else the reason.
QString moveItem(const QString& source, const QString& destination);

} // namespace DisabledLayout
