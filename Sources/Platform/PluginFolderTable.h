#pragma once

#include <QString>
#include <QStringList>

#include <span>

/// Every folder plug-in bundles live in, written once: the folders hosts scan, the folders
/// of disabled bundles and the Waves folders. The scan and the moves, the command line's
/// report, the helper's watch and the access check all take their folders from here.
namespace PluginFolderTable {

/// What a row's path is relative to: R (the system root) or H (the home folder).
enum class Base { system, home };

struct Row {
    /// The display name of the format whose bundles the folder holds ("Audio Units", "VST3",
    /// "VST", "AAX", "CLAP"); empty for the central disabled folder, which holds one folder
    /// per format display name.
    const char* format;
    Base base;
    /// Absolute, relative to R or H.
    const char* path;
    /// Holds disabled bundles: what the scan finds there is off.
    bool disabled;
    /// The helper watches it and lists it for new installs.
    bool watched;
    /// The helper lists everything below it, and watches the folders below it; otherwise
    /// only its top level.
    bool recursive;
};

/// The rows in order: the folders hosts scan under R in format order, the same under H,
/// then the folders of disabled bundles. The command line reports and the helper watches
/// in this order; the scan walks a format's folders in it.
std::span<const Row> rows();
/// R or H + the row's path.
QString pathOf(const Row& row);

/// The folders hosts scan for a format (display name): under R, then under H. None for Waves.
QStringList pluginFolders(const QString& format);
/// R + the central disabled folder.
QString centralDisabledFolder();
/// The folders a format's disabled bundles are found in: its folder in the central disabled
/// folder, then the format's own disabled folders (under R, then H).
QStringList disabledFolders(const QString& format);
/// Where disabling moves a format's bundles: the format's own disabled folder under R when it
/// has one (AAX), else its folder in the central disabled folder.
QString disableFolder(const QString& format);

/// R + the Waves folder. Its folders named kWavesVersionPrefix + a version ("Plug-Ins V15")
/// hold the Waves shell bundles, with a folder kWavesDisabledFolder beside them for the
/// disabled ones.
QString wavesFolder();
inline constexpr char kWavesVersionPrefix[] = "Plug-Ins V";
inline constexpr char kWavesDisabledFolder[] = "Disabled";
/// The version of a Waves version folder, from its name: the prefix's "V" and what follows ("V15").
QString wavesVersionTag(const QString& folderName);

} // namespace PluginFolderTable
