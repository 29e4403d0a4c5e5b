#include "PluginTableAccessible.h"

#include "PluginListView.h"
#include "PluginTableModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

namespace {

/// One header or body cell of the plug-in table (row -1 is the header row).
class PluginTableCell final : public QAccessibleInterface,
                              public QAccessibleTableCellInterface,
                              public QAccessibleActionInterface {
public:
    PluginTableCell(PluginTableAccessible* table, int row, int column)
        : m_view(table->table()), m_list(table->list()), m_row(row), m_column(column)
    {
    }

    bool isValid() const override
    {
        return m_view && m_list && m_view->model() && m_row < m_view->model()->rowCount()
               && m_column < m_view->model()->columnCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent() ? parent()->window() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return isHeader() ? QAccessible::ColumnHeader : QAccessible::Cell; }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid())
            return {};
        if (isHeader()) {
            if (kind == QAccessible::Name)
                return model()->headerData(m_column, Qt::Horizontal).toString();
            return {};
        }
        if (kind == QAccessible::Name) {
            const QString shown = index().data(Qt::AccessibleTextRole).toString();
            // An empty cell still needs a name to be announced.
            return shown.isEmpty() ? QStringLiteral("None") : shown;
        }
        if (kind == QAccessible::Description) {
            if (isSwitch())
                return QStringLiteral("Switch: ") + (isOn() ? QStringLiteral("on") : QStringLiteral("off"));
            if (hasLink())
                return index().data(Qt::ToolTipRole).toString();
        }
        return {};
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        if (isHeader()) {
            const QHeaderView* header = m_view->horizontalHeader();
            const QRect section(header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column),
                                header->height());
            return QRect(header->viewport()->mapToGlobal(section.topLeft()), section.size());
        }
        const QRect cell = m_view->visualRect(index());
        return QRect(m_view->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const QRect shown = isHeader() ? QRect() : m_view->visualRect(index());
        state.offscreen = !isHeader() && !shown.intersects(m_view->viewport()->rect());
        if (isHeader())
            return state;
        state.focusable = true;
        state.focused = m_view->hasFocus() && m_view->currentIndex() == index();
        state.selectable = m_view->selectionMode() != QAbstractItemView::NoSelection;
        state.selected = isSelected();
        if (isSwitch()) {
            state.checkable = true;
            state.checked = isOn();
        }
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override
    {
        return !isHeader() && isValid() && m_view->selectionModel()
               && m_view->selectionModel()->isSelected(index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        auto* table = parent() ? parent()->tableInterface() : nullptr;
        if (isHeader() || !table)
            return {};
        return {static_cast<PluginTableAccessible*>(table)->headerCell(m_column)};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    QStringList actionNames() const override
    {
        if (!isValid())
            return {};
        if (isHeader())
            return {pressAction()};
        QStringList names;
        if (isSwitch())
            names << toggleAction();
        if (hasLink())
            names << pressAction();
        names << setFocusAction();
        if (!model()->isPreviewMode())
            names << showMenuAction();
        return names;
    }

    QString localizedActionDescription(const QString& name) const override
    {
        if (name == toggleAction())
            return isOn() ? QStringLiteral("Disable this plugin") : QStringLiteral("Enable this plugin");
        if (name == pressAction() && !isHeader())
            return index().data(Qt::ToolTipRole).toString();
        if (name == pressAction())
            return QStringLiteral("Sort by this column");
        return QAccessibleActionInterface::localizedActionDescription(name);
    }

    void doAction(const QString& name) override
    {
        if (!actionNames().contains(name))
            return;
        if (isHeader())
            m_list->sortByColumn(m_column);
        else if (name == toggleAction())
            m_list->toggleRow(index());
        else if (name == pressAction())
            m_list->openManufacturer(index());
        else if (name == setFocusAction())
            m_list->focusRow(index());
        else if (name == showMenuAction())
            m_list->showRowMenu(index());
    }

    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == toggleAction())
            return {QStringLiteral("Space")};
        if (name == showMenuAction())
            return {QStringLiteral("Shift+F10")};
        return {};
    }

private:
    PluginTableModel* model() const { return static_cast<PluginTableModel*>(m_view->model()); }
    QModelIndex index() const { return model()->index(m_row, m_column); }
    bool isHeader() const { return m_row < 0; }
    bool isSwitch() const
    {
        return !isHeader() && m_column == PluginTableModel::statusColumn && !model()->isPreviewMode();
    }
    bool isOn() const { return isSwitch() && index().data(PluginTableModel::enabledRole).toBool(); }
    bool hasLink() const
    {
        return !isHeader() && !model()->isPreviewMode() && m_column == PluginTableModel::manufacturerColumn
               && index().data(PluginTableModel::hasManufacturerRole).toBool();
    }

    QPointer<QTableView> m_view;
    QPointer<PluginListView> m_list;
    int m_row;
    int m_column;
};

QAccessibleInterface* pluginTableFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String("QTableView") || object->objectName() != QLatin1String("pluginTable"))
        return nullptr;
    auto* table = qobject_cast<QTableView*>(object);
    auto* list = table ? qobject_cast<PluginListView*>(table->parentWidget()) : nullptr;
    return list ? new PluginTableAccessible(table, list) : nullptr;
}

} // namespace

PluginTableAccessible::PluginTableAccessible(QTableView* table, PluginListView* list)
    : QAccessibleWidget(table, QAccessible::Table), m_list(list)
{
}

PluginTableAccessible::~PluginTableAccessible()
{
    dropChildren();
}

void PluginTableAccessible::installFactory()
{
    QAccessible::installFactory(&pluginTableFactory); // a second install is ignored
}

QTableView* PluginTableAccessible::table() const
{
    return static_cast<QTableView*>(widget());
}

int PluginTableAccessible::columnCount() const
{
    return table()->model() ? table()->model()->columnCount() : 0;
}

int PluginTableAccessible::rowCount() const
{
    return table()->model() ? table()->model()->rowCount() : 0;
}

int PluginTableAccessible::childCount() const
{
    // The header row, then the rows, as the table numbers them in its focus events.
    return (rowCount() + 1) * columnCount();
}

QAccessibleInterface* PluginTableAccessible::cachedChild(int row, int column) const
{
    if (column < 0 || column >= columnCount() || row < -1 || row >= rowCount())
        return nullptr;
    const int key = (row + 1) * columnCount() + column;
    if (const QAccessible::Id id = m_children.value(key))
        return QAccessible::accessibleInterface(id);
    auto* cell = new PluginTableCell(const_cast<PluginTableAccessible*>(this), row, column);
    m_children.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface* PluginTableAccessible::child(int index) const
{
    const int columns = columnCount();
    if (index < 0 || columns == 0)
        return nullptr;
    return cachedChild(index / columns - 1, index % columns);
}

int PluginTableAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child || !child->isValid())
        return -1;
    auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
    if (!cell || child->parent() != this)
        return -1;
    return (cell->rowIndex() + 1) * columnCount() + cell->columnIndex();
}

QAccessibleInterface* PluginTableAccessible::childAt(int x, int y) const
{
    const QPoint inViewport = table()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = table()->indexAt(inViewport);
    if (index.isValid())
        return cachedChild(index.row(), index.column());
    const QHeaderView* header = table()->horizontalHeader();
    const QPoint inHeader = header->viewport()->mapFromGlobal(QPoint(x, y));
    if (header->viewport()->rect().contains(inHeader))
        return cachedChild(-1, header->logicalIndexAt(inHeader));
    return nullptr;
}

QAccessibleInterface* PluginTableAccessible::focusChild() const
{
    const QModelIndex current = table()->currentIndex();
    if (!table()->hasFocus() || !current.isValid())
        return nullptr;
    return cachedChild(current.row(), current.column());
}

void* PluginTableAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* PluginTableAccessible::cellAt(int row, int column) const
{
    return row < 0 ? nullptr : cachedChild(row, column);
}

QList<int> PluginTableAccessible::selectedRows() const
{
    QList<int> rows;
    if (const QItemSelectionModel* selection = table()->selectionModel()) {
        for (const QModelIndex& index : selection->selectedRows())
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int PluginTableAccessible::selectedRowCount() const
{
    return static_cast<int>(selectedRows().size());
}

int PluginTableAccessible::selectedCellCount() const
{
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface*> PluginTableAccessible::selectedCells() const
{
    QList<QAccessibleInterface*> cells;
    for (int row : selectedRows()) {
        for (int column = 0; column < columnCount(); ++column)
            cells.append(cachedChild(row, column));
    }
    return cells;
}

QString PluginTableAccessible::columnDescription(int column) const
{
    return table()->model() ? table()->model()->headerData(column, Qt::Horizontal).toString() : QString();
}

QString PluginTableAccessible::rowDescription(int) const
{
    return {};
}

bool PluginTableAccessible::isRowSelected(int row) const
{
    return table()->selectionModel() && table()->selectionModel()->isRowSelected(row, {});
}

bool PluginTableAccessible::selectRow(int row)
{
    if (row < 0 || row >= rowCount() || table()->selectionMode() == QAbstractItemView::NoSelection)
        return false;
    // The same as a Ctrl-click: the row joins the selection.
    table()->selectionModel()->select(table()->model()->index(row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    return true;
}

bool PluginTableAccessible::unselectRow(int row)
{
    if (row < 0 || row >= rowCount() || table()->selectionMode() == QAbstractItemView::NoSelection)
        return false;
    table()->selectionModel()->select(table()->model()->index(row, 0),
                                      QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
}

void PluginTableAccessible::modelChange(QAccessibleTableModelChangeEvent*)
{
    // Any change may move rows: cells are made again, from the model, when next asked for.
    dropChildren();
}

void PluginTableAccessible::dropChildren()
{
    for (const QAccessible::Id id : std::as_const(m_children))
        QAccessible::deleteAccessibleInterface(id);
    m_children.clear();
}
