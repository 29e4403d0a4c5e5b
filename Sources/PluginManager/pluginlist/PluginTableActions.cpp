#include "pluginlist/PluginTableActions.h"

#include "pluginlist/PluginListView.h"
#include "pluginlist/PluginTableModel.h"

#include <QAccessibleActionInterface>

bool PluginTableActions::isPreview() const
{
    return m_list.model()->isPreviewMode();
}

bool PluginTableActions::isSwitch(const QModelIndex& index) const
{
    return !isPreview() && index.column() == PluginTableModel::statusColumn;
}

bool PluginTableActions::hasLink(const QModelIndex& index) const
{
    return !isPreview() && index.column() == PluginTableModel::manufacturerColumn &&
           index.data(PluginTableModel::hasManufacturerRole).toBool();
}

QStringList PluginTableActions::actionNames(const QModelIndex& index) const
{
    QStringList names;
    if (isSwitch(index))
        names << QAccessibleActionInterface::toggleAction();
    if (hasLink(index))
        names << QAccessibleActionInterface::pressAction();
    names << QAccessibleActionInterface::setFocusAction();
    if (!isPreview())
        names << QAccessibleActionInterface::showMenuAction();
    return names;
}

void PluginTableActions::doAction(const QModelIndex& index, const QString& action)
{
    if (action == QAccessibleActionInterface::toggleAction())
        m_list.toggleRow(index);
    else if (action == QAccessibleActionInterface::pressAction())
        m_list.openManufacturer(index);
    else if (action == QAccessibleActionInterface::setFocusAction())
        m_list.focusRow(index);
    else if (action == QAccessibleActionInterface::showMenuAction())
        m_list.showRowMenu(index);
}

QStringList PluginTableActions::keyBindings(const QModelIndex&, const QString& action) const
{
    if (action == QAccessibleActionInterface::toggleAction())
        return {QStringLiteral("Space")};
    if (action == QAccessibleActionInterface::showMenuAction())
        return {QStringLiteral("Shift+F10")};
    return {};
}

std::optional<bool> PluginTableActions::checkedState(const QModelIndex& index) const
{
    if (!isSwitch(index))
        return std::nullopt;
    return index.data(PluginTableModel::enabledRole).toBool();
}

QString PluginTableActions::description(const QModelIndex& index) const
{
    return hasLink(index) ? index.data(Qt::ToolTipRole).toString() : QString();
}
