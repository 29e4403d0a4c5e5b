#pragma once

#include "catalogue/PluginModels.h"
#include "operations/BulkAction.h"

#include <QSet>
#include <QString>

/// The sidebar's computed texts, kept apart from the widgets so every wording rule
/// has one home.
namespace SidebarTexts {

/// The filters an action of the sidebar acts under. The main window's search text
/// counts as a filter too: the actions only reach the plug-ins that match it.
struct ActionScope {
    QSet<PluginFormat> formats;
    QSet<QString> manufacturers;
    QString searchText;
    bool isFiltered() const { return !formats.isEmpty() || !manufacturers.isEmpty() || !searchText.isEmpty(); }
};

/// The active-filter line: "AAX, VST3 · Acme" ("First +2 more" from three names on);
/// empty when no format and no manufacturer is selected.
QString filterSummary(const QSet<PluginFormat>& formats, const QSet<QString>& manufacturers);

/// "Enable", "Disable", "Delete".
QString actionVerb(BulkAction action);
/// "Enable All", "Disable All VST3", "Delete Filtered".
QString actionLabel(BulkAction action, const ActionScope& scope);
/// The confirmation's title: the label followed by " Plugins?".
QString actionTitle(BulkAction action, const ActionScope& scope);
/// The confirmation's message for `count` plug-ins.
QString actionMessage(BulkAction action, qint64 count, const ActionScope& scope);

/// "Up to date", "1 change to apply", "N changes to apply".
QString changeSummary(qint64 changes);

/// The text with its line breaks turned into spaces, for rows that show one line.
QString singleLine(const QString& text);

/// Trims the space separators and tabs at both ends; line breaks stay.
QString trimmedName(const QString& name);
/// A file name for an exported profile: "/" and NUL (and other control characters)
/// replaced, "profile" when nothing is left, ".json" appended.
QString exportFileName(const QString& profileName);

/// Case-insensitive containment of `filter` in `name`; an empty filter matches all.
bool manufacturerMatches(const QString& name, const QString& filter);

} // namespace SidebarTexts
