#pragma once

#include "widgets/ItemViewAccessible.h"

class PluginListView;

/// What the plug-in table's cells do for assistive technology: the Status cell switches its
/// plug-in, the Manufacturer cell opens the web site, every cell focuses its row or opens the
/// row menu (none of them while a profile is previewed).
class PluginTableActions final : public ItemViewActions {
public:
    explicit PluginTableActions(PluginListView& list) : m_list(list) {}

    QStringList actionNames(const QModelIndex& index) const override;
    void doAction(const QModelIndex& index, const QString& action) override;
    QStringList keyBindings(const QModelIndex& index, const QString& action) const override;
    std::optional<bool> checkedState(const QModelIndex& index) const override;
    QString description(const QModelIndex& index) const override;

private:
    bool isPreview() const;
    bool isSwitch(const QModelIndex& index) const;
    bool hasLink(const QModelIndex& index) const;

    PluginListView& m_list;
};
