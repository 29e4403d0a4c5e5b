#include "shell/cli/CLICommand.h"

#include "Platform/PluginFolderTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <dirent.h>
#include <ostream>
#include <system_error>

namespace {

/// Empty when the folder can be opened for listing, else the reason it cannot.
/// QDir reports an unreadable folder as an empty one, so the reason comes from opendir.
std::string listingError(const QString& path)
{
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir) {
        const int error = errno;
        return std::error_code(error, std::generic_category()).message();
    }
    ::closedir(dir);
    return {};
}

} // namespace

void CLICommand::run(std::ostream& out) const
{
    out << "🎛️ Plugin Manager - Audio Plugin Management Tool\n";
    out << std::string(50, '=') << '\n';

    if (!action) {
        out << "Use --action <scan|list|enable|disable> to perform operations\n";
        out << "Use --help for more information\n";
        out << "\n💡 To launch the GUI interface, run:\n";
        out << "   PluginManager GUI\n";
        out.flush();
        return;
    }

    const QString word = QString::fromStdString(*action).toLower();
    if (word == QLatin1String("scan")) {
        scanPlugins(out);
    } else if (word == QLatin1String("list")) {
        out << "📋 Listing audio plugins...\n";
        scanPlugins(out);
    } else if (word == QLatin1String("enable")) {
        togglePlugin(out, true);
    } else if (word == QLatin1String("disable")) {
        togglePlugin(out, false);
    } else {
        // Echo the action as typed, not lower-cased, so the user recognises it.
        out << "❌ Unknown action: " << *action << '\n';
        out << "Available actions: scan, list, enable, disable\n";
    }
    out.flush();
}

void CLICommand::scanPlugins(std::ostream& out)
{
    out << "🔍 Scanning for audio plugins...\n";

    // The folders hosts scan, in the table's order: the five under R, then the same under H.
    QStringList folders;
    for (const PluginFolderTable::Row& row : PluginFolderTable::rows()) {
        if (!row.disabled)
            folders.append(PluginFolderTable::pathOf(row));
    }

    qsizetype total = 0;
    for (const QString& folder : folders) {
        const std::string shown = folder.toStdString();
        if (!QFileInfo::exists(folder)) {
            out << "📁 " << shown << ": Directory not found\n";
            continue;
        }
        if (const std::string error = listingError(folder); !error.empty()) {
            out << "❌ Error scanning " << shown << ": " << error << '\n';
            continue;
        }
        // Every name counts: hidden entries and broken links included, nothing filtered
        // by kind, sub-folders not descended.
        const qsizetype count =
            QDir(folder)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort)
                .size();
        total += count;
        out << "📁 " << shown << ": " << count << " plugins\n";
    }

    out << "\n✅ Scan complete. Found " << total << " total plugins.\n";
}

void CLICommand::togglePlugin(std::ostream& out, bool enable) const
{
    if (!name) {
        out << "❌ Plugin name required for enable/disable operations\n";
        out << "Use: --name <plugin-name>\n";
        return;
    }
    out << (enable ? "Enabling" : "Disabling") << " plugin: " << *name << '\n';
    if (format)
        out << "Format filter: " << *format << '\n';
    out << "⚠️ Plugin management functionality will be implemented in the GUI version\n";
    out << "💡 Run 'PluginManager GUI' to launch the graphical interface\n";
}
