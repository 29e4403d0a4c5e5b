#include "MenuBarHelper/PluginFolders.h"

#include "Platform/PluginFolderTable.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <array>
#include <cstddef>
#include <utility>

namespace PluginFolders {

namespace {

template <std::size_t N>
using TagTable = std::array<std::pair<const char*, const char*>, N>;

// The tag of the first row whose text matches; empty when none does.
template <std::size_t N, typename Match>
QString firstTag(const TagTable<N>& table, Match matches)
{
    for (const auto& [text, tag] : table) {
        if (matches(QLatin1String(text)))
            return QString::fromLatin1(tag);
    }
    return {};
}

// The name without its last extension ("Foo.bar.vst3" -> "Foo.bar"); a name without
// one, or a hidden-style name, stays whole.
QString withoutExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

} // namespace

QList<Folder> pluginDirectories()
{
    QList<Folder> folders;
    for (const PluginFolderTable::Row& row : PluginFolderTable::rows()) {
        if (row.watched && !row.recursive)
            folders.append({PluginFolderTable::pathOf(row), formatTag(QLatin1String(row.format))});
    }
    return folders;
}

QStringList disabledDirectories()
{
    QStringList folders;
    for (const PluginFolderTable::Row& row : PluginFolderTable::rows()) {
        if (row.watched && row.recursive)
            folders.append(PluginFolderTable::pathOf(row));
    }
    return folders;
}

QString formatTag(QLatin1String format)
{
    static const TagTable<5> table{{
        {"Audio Units", "AU"},
        {"VST3", "VST3"},
        {"VST", "VST"},
        {"AAX", "AAX"},
        {"CLAP", "CLAP"},
    }};
    const QString tag = firstTag(table, [format](QLatin1String name) { return format == name; });
    return tag.isEmpty() ? QStringLiteral("Unknown") : tag;
}

QString extensionTag(const QString& extension)
{
    static const TagTable<5> table{{
        {"vst3", "VST3"},
        {"vst", "VST"},
        {"component", "AU"},
        {"aaxplugin", "AAX"},
        {"clap", "CLAP"},
    }};
    return firstTag(table, [&extension](QLatin1String ext) { return extension == ext; });
}

QSet<QString> scanPluginDirectories(const QList<Folder>& folders)
{
    QSet<QString> keys;
    for (const Folder& folder : folders) {
        const QDir dir(folder.path);
        if (!dir.exists())
            continue;
        const QStringList entries =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& entry : entries) {
            if (!entry.startsWith(QLatin1Char('.')))
                keys.insert(withoutExtension(entry) + QLatin1Char('|') + folder.tag);
        }
    }
    return keys;
}

QSet<QString> scanDisabledDirectories(const QStringList& folders)
{
    QSet<QString> keys;
    for (const QString& folder : folders) {
        if (!QFileInfo(folder).isDir())
            continue;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            // A hidden entry at the top hides everything below it as well.
            if (it.filePath().mid(folder.size() + 1).startsWith(QLatin1Char('.')))
                continue;
            const QString name = it.fileName();
            const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
            if (dot <= 0)
                continue;
            const QString tag = extensionTag(name.mid(dot + 1).toLower());
            if (!tag.isEmpty())
                keys.insert(name.left(dot) + QLatin1Char('|') + tag);
        }
    }
    return keys;
}

namespace {

// The disabled scan counts what lies below these folders at any depth; bundles end the descent.
void appendLayoutFolders(const QString& folder, QStringList& folders)
{
    const QStringList children = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& child : children) {
        const qsizetype dot = child.lastIndexOf(QLatin1Char('.'));
        if (dot > 0 && !extensionTag(child.mid(dot + 1).toLower()).isEmpty())
            continue;
        const QString path = folder + QLatin1Char('/') + child;
        folders.append(path);
        appendLayoutFolders(path, folders);
    }
}

} // namespace

QStringList watchedFolders(const QList<Folder>& active, const QStringList& disabled)
{
    QStringList folders;
    for (const Folder& folder : active)
        folders.append(folder.path);
    folders += disabled;
    for (const QString& folder : disabled)
        appendLayoutFolders(folder, folders);
    return folders;
}

QString displayName(const QString& key)
{
    const qsizetype bar = key.indexOf(QLatin1Char('|'));
    return bar < 0 ? key : key.left(bar);
}

} // namespace PluginFolders
