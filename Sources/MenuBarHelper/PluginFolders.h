#pragma once

#include <QList>
#include <QSet>
#include <QString>

/// The folders the helper watches and lists, and its own plug-in key: the item's name
/// without its extension, "|", and a short format tag ("AU", "VST3", "VST", "AAX",
/// "CLAP" or "Unknown"). This key is the helper's own, not the main application's.
namespace PluginFolders {

struct Folder {
    QString path; ///< R or H + the fixed path
    QString tag;  ///< the format tag of everything listed directly in it
};

/// The folders of the table (PluginFolderTable) that the helper watches and lists at their
/// top level: the eight active folders, in watch order, each with its format's tag.
QList<Folder> pluginDirectories();
/// The folders of the table that the helper watches and lists at every depth: the three
/// that hold disabled plug-ins.
QStringList disabledDirectories();

/// The tag of a format display name: "AU" for "Audio Units", the name itself for "VST3",
/// "VST", "AAX" and "CLAP", else "Unknown". A folder's tag comes from its table row, never
/// from its path, so a sandbox root whose own name contains "VST" cannot change it.
QString formatTag(QLatin1String format);
/// The tag of a disabled item from its lower-cased extension; empty for any other extension.
QString extensionTag(const QString& extension);

/// Keys of every visible entry directly in the active folders.
QSet<QString> scanPluginDirectories(const QList<Folder>& folders);
/// Keys of every item at any depth of the disabled folders whose extension has a tag.
QSet<QString> scanDisabledDirectories(const QStringList& folders);

/// The folders of the layout, which the folder watch covers: every active and disabled
/// folder, existing or not (one that appears later is noticed), then every folder below a
/// disabled folder that is not a plug-in bundle, at any depth. Never a bundle's inside, so
/// the number of watches follows the folders of the layout, not the number of bundles.
QStringList watchedFolders(const QList<Folder>& active, const QStringList& disabled);

/// The part of a key before its first "|" (the whole key without one).
QString displayName(const QString& key);

} // namespace PluginFolders
