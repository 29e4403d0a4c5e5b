#pragma once

#include "catalogue/PluginModels.h"

#include <QList>
#include <QSet>
#include <QUrl>
#include <QUuid>

class PluginManagerViewModel;
class QMenu;
class QWidget;

/// The secondary-click menu of the plug-in table.
namespace RowContextMenu {
/// The web search for a newer version: name, manufacturer and " update latest version",
/// sent as one fully encoded value.
QUrl updateSearchURL(const AudioPlugin& plugin);
/// Puts the text on the clipboard as plain text (after clearing it).
void copyToClipboard(const QString& text);
/// The menu for a set of row ids: the single plug-in menu for one shown row, one toggle
/// for several, nothing otherwise. Toggles run after the menu has closed. The caller owns
/// the menu; it may be empty.
QMenu* build(PluginManagerViewModel& viewModel, const QList<AudioPlugin>& rows, const QSet<QUuid>& ids,
             QWidget* parent);
} // namespace RowContextMenu
