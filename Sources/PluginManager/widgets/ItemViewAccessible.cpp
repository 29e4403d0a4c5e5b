#include "widgets/ItemViewAccessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTableView>

#include <algorithm>

QStringList ItemViewActions::keyBindings(const QModelIndex&, const QString&) const
{
    return {};
}
std::optional<bool> ItemViewActions::checkedState(const QModelIndex&) const
{
    return std::nullopt;
}
QString ItemViewActions::description(const QModelIndex&) const
{
    return {};
}
QList<ItemViewActions::Part> ItemViewActions::parts(const QModelIndex&) const
{
    return {};
}
void ItemViewActions::doPartAction(const QModelIndex&, int) {}

namespace {

QHash<QObject*, ItemViewActions*>& registry()
{
    static QHash<QObject*, ItemViewActions*> views;
    return views;
}

/// The view's horizontal header when it shows one (a table's first row of children).
QHeaderView* shownHeader(const QAbstractItemView* view)
{
    const auto* table = qobject_cast<const QTableView*>(view);
    return table && !table->horizontalHeader()->isHidden() ? table->horizontalHeader() : nullptr;
}

QRect toGlobal(const QWidget* widget, const QRect& rect)
{
    return {widget->mapToGlobal(rect.topLeft()), rect.size()};
}

class ViewAccessible;

/// A painted control inside an item.
class PartAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PartAccessible(QAccessibleInterface* cell, QAbstractItemView* view, ItemViewActions* actions,
                   const QPersistentModelIndex& index, int part)
        : m_cellId(QAccessible::uniqueId(cell)), m_view(view), m_actions(actions), m_index(index), m_part(part)
    {
    }

    bool isValid() const override { return m_view && m_index.isValid() && m_part < m_actions->parts(m_index).size(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::accessibleInterface(m_cellId); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name && isValid() ? part().name : QString();
    }
    QRect rect() const override { return isValid() ? toGlobal(m_view->viewport(), part().rect) : QRect(); }
    QAccessible::Role role() const override
    {
        return isValid() && part().checked ? QAccessible::CheckBox : QAccessible::Button;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invalid = !isValid();
        if (!state.invalid && part().checked) {
            state.checkable = true;
            state.checked = *part().checked;
        }
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override
    {
        if (!isValid())
            return {};
        return {part().checked ? toggleAction() : pressAction()};
    }
    void doAction(const QString& name) override
    {
        if (actionNames().contains(name))
            m_actions->doPartAction(m_index, m_part);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    ItemViewActions::Part part() const { return m_actions->parts(m_index).at(m_part); }

    QAccessible::Id m_cellId;
    QPointer<QAbstractItemView> m_view;
    ItemViewActions* m_actions;
    QPersistentModelIndex m_index;
    int m_part;
};

/// One item, or one header section (row -1).
class CellAccessible final : public QAccessibleInterface,
                             public QAccessibleTableCellInterface,
                             public QAccessibleActionInterface {
public:
    CellAccessible(QAbstractItemView* view, ItemViewActions* actions, int row, int column)
        : m_view(view), m_actions(actions), m_row(row), m_column(column)
    {
    }
    ~CellAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_parts))
            QAccessible::deleteAccessibleInterface(id);
    }

    bool isValid() const override
    {
        return m_view && m_view->model() && m_row < m_view->model()->rowCount(m_view->rootIndex()) &&
               m_column < m_view->model()->columnCount(m_view->rootIndex()) && (!isHeader() || shownHeader(m_view));
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            if (QAccessibleInterface* part = child(i); part && part->rect().contains(x, y))
                return part;
        }
        return nullptr;
    }
    int childCount() const override { return isValid() && !isHeader() ? int(m_actions->parts(index()).size()) : 0; }
    QAccessibleInterface* child(int i) const override
    {
        if (i < 0 || i >= childCount())
            return nullptr;
        while (m_parts.size() <= i) {
            auto* part =
                new PartAccessible(const_cast<CellAccessible*>(this), m_view, m_actions, index(), int(m_parts.size()));
            m_parts.append(QAccessible::registerAccessibleInterface(part));
        }
        return QAccessible::accessibleInterface(m_parts.at(i));
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 0; i < m_parts.size(); ++i) {
            if (QAccessible::accessibleInterface(m_parts.at(i)) == child)
                return i;
        }
        return -1;
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override
    {
        if (isHeader())
            return QAccessible::ColumnHeader;
        if (!shownHeader(m_view) && qobject_cast<QTableView*>(m_view) == nullptr)
            return QAccessible::ListItem;
        return QAccessible::Cell;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid())
            return {};
        if (isHeader())
            return kind == QAccessible::Name ? m_view->model()->headerData(m_column, Qt::Horizontal).toString()
                                             : QString();
        if (kind == QAccessible::Name) {
            QString shown = index().data(Qt::AccessibleTextRole).toString();
            if (shown.isEmpty())
                shown = index().data(Qt::DisplayRole).toString();
            // An empty item still needs a name to be announced.
            return shown.isEmpty() ? QStringLiteral("None") : shown;
        }
        if (kind == QAccessible::Description)
            return m_actions->description(index());
        return {};
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        if (QHeaderView* header = isHeader() ? shownHeader(m_view) : nullptr)
            return toGlobal(header->viewport(), QRect(header->sectionViewportPosition(m_column), 0,
                                                      header->sectionSize(m_column), header->height()));
        return toGlobal(m_view->viewport(), m_view->visualRect(index()));
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        if (isHeader())
            return state;
        state.offscreen = !m_view->visualRect(index()).intersects(m_view->viewport()->rect());
        state.focusable = true;
        state.focused = m_view->hasFocus() && m_view->currentIndex() == index();
        state.selectable = m_view->selectionMode() != QAbstractItemView::NoSelection;
        state.selected = isSelected();
        if (const std::optional<bool> checked = m_actions->checkedState(index())) {
            state.checkable = true;
            state.checked = *checked;
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
        return !isHeader() && isValid() && m_view->selectionModel() && m_view->selectionModel()->isSelected(index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
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
            return m_view->model()->headerData(m_column, Qt::Horizontal).toString().isEmpty()
                       ? QStringList()
                       : QStringList{pressAction()};
        return m_actions->actionNames(index());
    }
    void doAction(const QString& name) override
    {
        if (!actionNames().contains(name))
            return;
        if (isHeader()) {
            // The header's own road for a click on a section.
            if (QHeaderView* header = shownHeader(m_view))
                Q_EMIT header->sectionClicked(m_column);
            return;
        }
        m_actions->doAction(index(), name);
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        return isValid() && !isHeader() ? m_actions->keyBindings(index(), name) : QStringList();
    }

private:
    QModelIndex index() const { return m_view->model()->index(m_row, m_column, m_view->rootIndex()); }
    bool isHeader() const { return m_row < 0; }

    QPointer<QAbstractItemView> m_view;
    ItemViewActions* m_actions;
    int m_row;
    int m_column;
    mutable QList<QAccessible::Id> m_parts;
};

/// The view: its header sections, then its items row by row.
class ViewAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    ViewAccessible(QAbstractItemView* view, ItemViewActions* actions)
        : QAccessibleWidget(view, qobject_cast<QTableView*>(view) ? QAccessible::Table : QAccessible::List),
          m_actions(actions)
    {
    }
    ~ViewAccessible() override { dropChildren(); }

    QAbstractItemView* view() const { return static_cast<QAbstractItemView*>(widget()); }
    int headerRows() const { return shownHeader(view()) ? 1 : 0; }

    QAccessibleInterface* cell(int row, int column) const
    {
        if (column < 0 || column >= columnCount() || row < -headerRows() || row >= rowCount())
            return nullptr;
        const int key = (row + headerRows()) * columnCount() + column;
        if (const QAccessible::Id id = m_children.value(key))
            return QAccessible::accessibleInterface(id);
        auto* created = new CellAccessible(view(), m_actions, row, column);
        m_children.insert(key, QAccessible::registerAccessibleInterface(created));
        return created;
    }

    int childCount() const override { return (rowCount() + headerRows()) * columnCount(); }
    QAccessibleInterface* child(int index) const override
    {
        const int columns = columnCount();
        if (index < 0 || columns == 0)
            return nullptr;
        return cell(index / columns - headerRows(), index % columns);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child || !child->isValid() || child->parent() != this)
            return -1;
        auto* item = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
        return item ? (item->rowIndex() + headerRows()) * columnCount() + item->columnIndex() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        if (index.isValid())
            return cell(index.row(), index.column());
        if (QHeaderView* header = shownHeader(view())) {
            const QPoint inHeader = header->viewport()->mapFromGlobal(QPoint(x, y));
            if (header->viewport()->rect().contains(inHeader))
                return cell(-1, header->logicalIndexAt(inHeader));
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        const QModelIndex current = view()->currentIndex();
        return view()->hasFocus() && current.isValid() ? cell(current.row(), current.column()) : nullptr;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override { return row < 0 ? nullptr : cell(row, column); }
    int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        for (int row : selectedRows()) {
            for (int column = 0; column < columnCount(); ++column)
                cells.append(cell(row, column));
        }
        return cells;
    }
    QString columnDescription(int column) const override
    {
        return view()->model() ? view()->model()->headerData(column, Qt::Horizontal).toString() : QString();
    }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override { return view()->model() ? view()->model()->columnCount(view()->rootIndex()) : 0; }
    int rowCount() const override { return view()->model() ? view()->model()->rowCount(view()->rootIndex()) : 0; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        QList<int> rows;
        if (const QItemSelectionModel* selection = view()->selectionModel()) {
            for (const QModelIndex& index : selection->selectedRows())
                rows.append(index.row());
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override
    {
        return view()->selectionModel() && view()->selectionModel()->isRowSelected(row, view()->rootIndex());
    }
    bool selectRow(int row) override { return select(row, QItemSelectionModel::Select); }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override { return select(row, QItemSelectionModel::Deselect); }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override
    {
        // Any change may move rows: items are made again, from the model, when next asked for.
        dropChildren();
    }

private:
    bool select(int row, QItemSelectionModel::SelectionFlags how)
    {
        if (row < 0 || row >= rowCount() || view()->selectionMode() == QAbstractItemView::NoSelection)
            return false;
        view()->selectionModel()->select(view()->model()->index(row, 0, view()->rootIndex()),
                                         how | QItemSelectionModel::Rows);
        return true;
    }
    void dropChildren()
    {
        for (const QAccessible::Id id : std::as_const(m_children))
            QAccessible::deleteAccessibleInterface(id);
        m_children.clear();
    }

    ItemViewActions* m_actions;
    mutable QHash<int, QAccessible::Id> m_children;
};

QList<QAccessibleInterface*> CellAccessible::columnHeaderCells() const
{
    auto* view = dynamic_cast<ViewAccessible*>(parent());
    if (isHeader() || !view || !shownHeader(m_view))
        return {};
    return {view->cell(-1, m_column)};
}

QAccessibleInterface* viewFactory(const QString&, QObject* object)
{
    ItemViewActions* actions = registry().value(object);
    return actions ? new ViewAccessible(static_cast<QAbstractItemView*>(object), actions) : nullptr;
}

} // namespace

namespace ItemViewAccessible {

void install(QAbstractItemView* view, ItemViewActions* actions)
{
    QAccessible::installFactory(&viewFactory); // a second install is ignored
    registry().insert(view, actions);
    // Setting a widget's accessible name already asks for (and keeps) its interface: drop any
    // made before, so the next request makes this one.
    if (QAccessibleInterface* earlier = QAccessible::queryAccessibleInterface(view))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(earlier));
    QObject::connect(view, &QObject::destroyed, [view] { registry().remove(view); });
}

} // namespace ItemViewAccessible
