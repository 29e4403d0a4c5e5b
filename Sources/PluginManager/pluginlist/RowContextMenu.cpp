#include "pluginlist/RowContextMenu.h"

#include "Platform/PlatformServices.h"
#include "Platform/Workspace.h"
#include "catalogue/ManufacturerWebsites.h"
#include "operations/PluginManagerViewModel.h"
#include "widgets/SymbolIcons.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QTimer>

namespace RowContextMenu {

namespace {

void openUrl(const std::shared_ptr<Workspace>& workspace, const QUrl& url)
{
    if (url.isValid() && workspace)
        workspace->openUrl(url);
}

// Operations run once the menu's own event handling is over.
template <typename Function>
void later(PluginManagerViewModel& viewModel, Function function)
{
    QTimer::singleShot(0, &viewModel, std::move(function));
}

} // namespace

QUrl updateSearchURL(const AudioPlugin& plugin)
{
    return webSearchURL(plugin.name + QLatin1Char(' ') + plugin.manufacturer +
                        QStringLiteral(" update latest version"));
}

void copyToClipboard(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->clear();
    clipboard->setText(text);
}

QMenu* build(PluginManagerViewModel& viewModel, const QList<AudioPlugin>& rows, const QSet<QUuid>& ids, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setAccessibleName(QStringLiteral("Plugin actions"));
    const bool busy = viewModel.isOperationRunning();

    if (ids.size() == 1) {
        const QUuid id = *ids.cbegin();
        const AudioPlugin* found = nullptr;
        for (const AudioPlugin& row : rows) {
            if (row.id == id) {
                found = &row;
                break;
            }
        }
        if (!found)
            return menu;
        const AudioPlugin plugin = *found;
        const std::shared_ptr<Workspace> workspace = viewModel.services().workspace;
        const QString vendor = plugin.manufacturer.isEmpty() ? QStringLiteral("Manufacturer") : plugin.manufacturer;
        menu->addAction(SymbolIcons::icon(QStringLiteral("safari")),
                        QStringLiteral("Visit ") + vendor + QStringLiteral(" Website"), menu,
                        [plugin, workspace] { openUrl(workspace, manufacturerWebsiteURL(plugin.manufacturer)); });
        menu->addAction(SymbolIcons::icon(QStringLiteral("magnifyingglass")), QStringLiteral("Search for Updates"),
                        menu, [plugin, workspace] { openUrl(workspace, updateSearchURL(plugin)); });
        if (plugin.version) {
            menu->addSeparator();
            const QString version = *plugin.version;
            menu->addAction(SymbolIcons::icon(QStringLiteral("doc.on.doc")),
                            QStringLiteral("Copy Version (") + version + QLatin1Char(')'), menu,
                            [version] { copyToClipboard(version); });
        }
        menu->addSeparator();
        QAction* toggle = plugin.isEnabled ? menu->addAction(SymbolIcons::icon(QStringLiteral("xmark.circle")),
                                                             QStringLiteral("Disable Plugin"))
                                           : menu->addAction(SymbolIcons::icon(QStringLiteral("checkmark.circle")),
                                                             QStringLiteral("Enable Plugin"));
        toggle->setEnabled(!busy);
        QObject::connect(toggle, &QAction::triggered, &viewModel, [&viewModel, plugin] {
            later(viewModel, [&viewModel, plugin] { viewModel.togglePlugin(plugin); });
        });
        return menu;
    }

    if (ids.size() >= 2) {
        // Only the selected plug-ins that are rows of the table are toggled; the label counts those.
        QList<AudioPlugin> targets;
        for (const AudioPlugin& row : rows) {
            if (ids.contains(row.id))
                targets.append(row);
        }
        if (targets.isEmpty())
            return menu;
        QAction* toggle = menu->addAction(SymbolIcons::icon(QStringLiteral("arrow.triangle.2.circlepath")),
                                          QStringLiteral("Toggle %1 Plugins").arg(targets.size()));
        toggle->setEnabled(!busy);
        QObject::connect(toggle, &QAction::triggered, &viewModel, [&viewModel, targets] {
            later(viewModel, [&viewModel, targets] { viewModel.toggleMultiplePlugins(targets); });
        });
    }
    return menu;
}

} // namespace RowContextMenu
