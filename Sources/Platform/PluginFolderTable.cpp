#include "Platform/PluginFolderTable.h"

#include "Platform/Paths.h"

#include <array>

namespace PluginFolderTable {

namespace {

constexpr Base R = Base::system;
constexpr Base H = Base::home;
// Under R; holds one folder per format display name.
constexpr char kCentralDisabled[] = "/Library/Audio/Plug-Ins/Disabled";

// clang-format off
constexpr std::array<Row, 13> kRows{{
    // format       base  path                                                          disabled watched recursive
    {"Audio Units", R,    "/Library/Audio/Plug-Ins/Components",                         false,   true,   false},
    {"VST3",        R,    "/Library/Audio/Plug-Ins/VST3",                               false,   true,   false},
    {"VST",         R,    "/Library/Audio/Plug-Ins/VST",                                false,   true,   false},
    {"AAX",         R,    "/Library/Application Support/Avid/Audio/Plug-Ins",           false,   true,   false},
    {"CLAP",        R,    "/Library/Audio/Plug-Ins/CLAP",                               false,   true,   false},
    {"Audio Units", H,    "/Library/Audio/Plug-Ins/Components",                         false,   true,   false},
    {"VST3",        H,    "/Library/Audio/Plug-Ins/VST3",                               false,   true,   false},
    {"VST",         H,    "/Library/Audio/Plug-Ins/VST",                                false,   true,   false},
    {"AAX",         H,    "/Library/Application Support/Avid/Audio/Plug-Ins",           false,   false,  false},
    {"CLAP",        H,    "/Library/Audio/Plug-Ins/CLAP",                               false,   false,  false},
    {"",            R,    kCentralDisabled,                                             true,    true,   true},
    {"AAX",         R,    "/Library/Application Support/Avid/Audio/Plug-Ins (Unused)",  true,    true,   true},
    {"AAX",         H,    "/Library/Application Support/Avid/Audio/Plug-Ins (Unused)",  true,    true,   true},
}};
// clang-format on

bool holds(const Row& row, const QString& format)
{
    return format == QLatin1String(row.format);
}

} // namespace

std::span<const Row> rows()
{
    return kRows;
}

QString pathOf(const Row& row)
{
    const QString path = QString::fromLatin1(row.path);
    return row.base == Base::system ? Paths::system(path) : Paths::user(path);
}

QStringList pluginFolders(const QString& format)
{
    QStringList folders;
    for (const Row& row : kRows) {
        if (!row.disabled && holds(row, format))
            folders.append(pathOf(row));
    }
    return folders;
}

QString centralDisabledFolder()
{
    return Paths::system(QString::fromLatin1(kCentralDisabled));
}

QStringList disabledFolders(const QString& format)
{
    QStringList folders{centralDisabledFolder() + u'/' + format};
    for (const Row& row : kRows) {
        if (row.disabled && holds(row, format))
            folders.append(pathOf(row));
    }
    return folders;
}

QString disableFolder(const QString& format)
{
    for (const Row& row : kRows) {
        if (row.disabled && row.base == Base::system && holds(row, format))
            return pathOf(row);
    }
    return centralDisabledFolder() + u'/' + format;
}

QString wavesFolder()
{
    return Paths::system(QStringLiteral("/Applications/Waves"));
}

QString wavesVersionTag(const QString& folderName)
{
    return folderName.mid(QLatin1String(kWavesVersionPrefix).size() - 1);
}

} // namespace PluginFolderTable
