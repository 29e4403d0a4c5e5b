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

class ViewTracker;

QHash<QObject*, ViewTracker*>& registry()
{
    static QHash<QObject*, ViewTracker*> views;
    return views;
}

QTableView* tableOf(const QAbstractItemView* view)
{
    return qobject_cast<QTableView*>(const_cast<QAbstractItemView*>(view));
}

/// The view's horizontal header when it shows one.
QHeaderView* shownHeader(const QAbstractItemView* view)
{
    const QTableView* table = tableOf(view);
    return table && !table->horizontalHeader()->isHidden() ? table->horizontalHeader() : nullptr;
}

// A table numbers its children as QTableView does in its own events: its header row first and,
// in every row, its header column first, whether the headers are shown or not.
int headerRows(const QAbstractItemView* view)
{
    return tableOf(view) ? 1 : 0;
}
int headerColumns(const QAbstractItemView* view)
{
    return tableOf(view) ? 1 : 0;
}

QRect toGlobal(const QWidget* widget, const QRect& rect)
{
    return {widget->mapToGlobal(rect.topLeft()), rect.size()};
}

class ViewAccessible;
ViewAccessible* viewInterface(QAbstractItemView* view);

/// Follows a view's model for assistive technology: remembers the switches and ticks its items
/// and their parts showed, and announces the ones that change.
class ViewTracker final : public QObject {
public:
    ViewTracker(QAbstractItemView* view, ItemViewActions* actions) : QObject(view), m_view(view), m_actions(actions)
    {
        view->installEventFilter(this);
        bind();
    }

    ItemViewActions* actions() const { return m_actions; }

    /// Keeps what the item at (row, column) and its parts show now, to tell a change later.
    void remember(int row, int column)
    {
        if (!QAccessible::isActive() || row < 0 || column < 0 || !m_view->model())
            return;
        const QModelIndex index = m_view->model()->index(row, column, m_view->rootIndex());
        if (!index.isValid())
            return;
        if (const std::optional<bool> checked = m_actions->checkedState(index))
            m_shown.insert(key(row, column, -1), *checked);
        const QList<ItemViewActions::Part> parts = m_actions->parts(index);
        for (int i = 0; i < parts.size(); ++i) {
            if (parts.at(i).checked)
                m_shown.insert(key(row, column, i), *parts.at(i).checked);
        }
    }

    /// Connects to the view's model and selection (again, after the view was given another).
    void bind()
    {
        QAbstractItemModel* model = m_view->model();
        if (model == m_model && m_view->selectionModel() == m_selection)
            return;
        for (const QMetaObject::Connection& connection : std::as_const(m_connections))
            QObject::disconnect(connection);
        m_connections.clear();
        m_shown.clear();
        m_model = model;
        m_selection = m_view->selectionModel();
        if (!model)
            return;
        m_connections.append(connect(
            model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) { announce(topLeft, bottomRight); }));
        const auto forget = [this] { m_shown.clear(); };
        m_connections.append(connect(model, &QAbstractItemModel::modelReset, this, forget));
        m_connections.append(connect(model, &QAbstractItemModel::layoutChanged, this, forget));
        m_connections.append(connect(model, &QAbstractItemModel::rowsInserted, this, forget));
        m_connections.append(connect(model, &QAbstractItemModel::rowsRemoved, this, forget));
        m_connections.append(connect(model, &QAbstractItemModel::rowsMoved, this, forget));
        m_connections.append(connect(model, &QAbstractItemModel::columnsInserted, this, forget));
        m_connections.append(connect(model, &QAbstractItemModel::columnsRemoved, this, forget));
        if (m_selection) {
            // The item the keyboard is on is the one a switch is most likely flipped on.
            m_connections.append(
                connect(m_selection, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
                    for (int column = 0;
                         current.isValid() && column < m_view->model()->columnCount(m_view->rootIndex()); ++column)
                        remember(current.row(), column);
                }));
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_view && (event->type() == QEvent::Show || event->type() == QEvent::Polish))
            bind();
        return QObject::eventFilter(watched, event);
    }

private:
    static quint64 key(int row, int column, int part)
    {
        return (quint64(quint32(row)) << 32) | (quint64(quint16(column)) << 16) | quint16(part + 1);
    }

    void announce(const QModelIndex& topLeft, const QModelIndex& bottomRight);

    QAbstractItemView* m_view;
    ItemViewActions* m_actions;
    QPointer<QAbstractItemModel> m_model;
    QPointer<QItemSelectionModel> m_selection;
    QList<QMetaObject::Connection> m_connections;
    QHash<quint64, bool> m_shown;
};

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
        if (!isValid())
            return {};
        if (kind == QAccessible::Name)
            return part().name;
        return kind == QAccessible::Description ? part().description : QString();
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
        if (state.invalid)
            return state;
        const ItemViewActions::Part shown = part();
        state.focusable = true;
        state.focused = shown.focused && m_view->hasFocus();
        if (shown.checked) {
            state.checkable = true;
            state.checked = *shown.checked;
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

/// One item, or one header section: row -1 is the header row, column -1 the header column (the
/// table's row numbers), both -1 the corner where they meet.
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
        if (!m_view || !m_view->model())
            return false;
        if ((m_row < 0 || m_column < 0) && !tableOf(m_view))
            return false;
        return m_row >= -1 && m_column >= -1 && m_row < m_view->model()->rowCount(m_view->rootIndex()) &&
               m_column < m_view->model()->columnCount(m_view->rootIndex());
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
    int childCount() const override { return isItem() && isValid() ? int(m_actions->parts(index()).size()) : 0; }
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
    QAccessibleInterface* focusChild() const override
    {
        if (!isItem() || !isValid())
            return nullptr;
        const QList<ItemViewActions::Part> parts = m_actions->parts(index());
        for (int i = 0; i < parts.size(); ++i) {
            if (parts.at(i).focused)
                return child(i);
        }
        return nullptr;
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override
    {
        if (isColumnHeader())
            return QAccessible::ColumnHeader;
        if (isRowHeader())
            return QAccessible::RowHeader;
        if (!isItem())
            return QAccessible::Pane; // the corner
        return tableOf(m_view) ? QAccessible::Cell : QAccessible::ListItem;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid() || !m_view->model())
            return {};
        if (!isItem()) {
            if (kind != QAccessible::Name)
                return {};
            if (isColumnHeader())
                return m_view->model()->headerData(m_column, Qt::Horizontal).toString();
            if (isRowHeader())
                return m_view->model()->headerData(m_row, Qt::Vertical).toString();
            return {};
        }
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
        if (!isValid() || isHidden())
            return {};
        QTableView* table = tableOf(m_view);
        if (isColumnHeader()) {
            QHeaderView* header = table->horizontalHeader();
            return toGlobal(header->viewport(), QRect(header->sectionViewportPosition(m_column), 0,
                                                      header->sectionSize(m_column), header->height()));
        }
        if (isRowHeader()) {
            QHeaderView* header = table->verticalHeader();
            return toGlobal(header->viewport(), QRect(0, header->sectionViewportPosition(m_row), header->width(),
                                                      header->sectionSize(m_row)));
        }
        if (!isItem())
            return {};
        return toGlobal(m_view->viewport(), m_view->visualRect(index()));
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        if (!isItem()) {
            state.invisible = isHidden();
            if (isColumnHeader() && !state.invisible) {
                QHeaderView* header = tableOf(m_view)->horizontalHeader();
                state.focusable = bool(header->focusPolicy() & Qt::TabFocus);
                state.focused = header->hasFocus() && header->property("focusedSection").toInt() == m_column;
            }
            return state;
        }
        state.offscreen = !m_view->visualRect(index()).intersects(m_view->viewport()->rect());
        state.focusable = true;
        state.focused = m_view->hasFocus() && m_view->currentIndex() == index() && !focusChild();
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
        return isItem() && isValid() && m_view->selectionModel() && m_view->selectionModel()->isSelected(index());
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
        if (isColumnHeader())
            return isHidden() || m_view->model()->headerData(m_column, Qt::Horizontal).toString().isEmpty()
                       ? QStringList()
                       : QStringList{pressAction()};
        if (!isItem())
            return {};
        return m_actions->actionNames(index());
    }
    void doAction(const QString& name) override
    {
        if (!actionNames().contains(name))
            return;
        if (isColumnHeader()) {
            // The header's own road for a click on a section.
            if (QHeaderView* header = shownHeader(m_view))
                Q_EMIT header->sectionClicked(m_column);
            return;
        }
        m_actions->doAction(index(), name);
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        return isValid() && isItem() ? m_actions->keyBindings(index(), name) : QStringList();
    }

private:
    QModelIndex index() const { return m_view->model()->index(m_row, m_column, m_view->rootIndex()); }
    bool isItem() const { return m_row >= 0 && m_column >= 0; }
    bool isColumnHeader() const { return m_row < 0 && m_column >= 0; }
    bool isRowHeader() const { return m_row >= 0 && m_column < 0; }
    /// A header part whose header the table does not show.
    bool isHidden() const
    {
        const QTableView* table = tableOf(m_view);
        if (!table || isItem())
            return false;
        const bool rowsShown = !table->horizontalHeader()->isHidden();
        const bool columnsShown = !table->verticalHeader()->isHidden();
        if (isColumnHeader())
            return !rowsShown;
        if (isRowHeader())
            return !columnsShown;
        return !rowsShown || !columnsShown;
    }

    QPointer<QAbstractItemView> m_view;
    ItemViewActions* m_actions;
    int m_row;
    int m_column;
    mutable QList<QAccessible::Id> m_parts;
};

/// The view: numbered as the view numbers its own events (see headerRows()).
class ViewAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    ViewAccessible(QAbstractItemView* view, ViewTracker* tracker)
        : QAccessibleWidget(view, tableOf(view) ? QAccessible::Table : QAccessible::List), m_tracker(tracker)
    {
        tracker->bind();
    }
    ~ViewAccessible() override { dropChildren(); }

    QAbstractItemView* view() const { return static_cast<QAbstractItemView*>(widget()); }
    ItemViewActions* actions() const { return m_tracker->actions(); }
    int stride() const { return columnCount() + headerColumns(view()); }

    QAccessibleInterface* cell(int row, int column) const
    {
        if (column < -headerColumns(view()) || column >= columnCount() || row < -headerRows(view()) ||
            row >= rowCount())
            return nullptr;
        const int key = (row + headerRows(view())) * stride() + column + headerColumns(view());
        if (const QAccessible::Id id = m_children.value(key))
            return QAccessible::accessibleInterface(id);
        auto* created = new CellAccessible(view(), actions(), row, column);
        m_children.insert(key, QAccessible::registerAccessibleInterface(created));
        // What a client now holds is what a later change is measured against.
        m_tracker->remember(row, column);
        return created;
    }

    int childCount() const override { return (rowCount() + headerRows(view())) * stride(); }
    QAccessibleInterface* child(int index) const override
    {
        const int columns = stride();
        if (index < 0 || columns == 0 || columnCount() == 0)
            return nullptr;
        return cell(index / columns - headerRows(view()), index % columns - headerColumns(view()));
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child || !child->isValid() || child->parent() != this)
            return -1;
        auto* item = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
        return item ? (item->rowIndex() + headerRows(view())) * stride() + item->columnIndex() + headerColumns(view())
                    : -1;
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
        if (QHeaderView* header = shownHeader(view()); header && header->hasFocus())
            return cell(-1, header->property("focusedSection").toInt());
        const QModelIndex current = view()->currentIndex();
        if (!view()->hasFocus() || !current.isValid())
            return nullptr;
        QAccessibleInterface* item = cell(current.row(), current.column());
        QAccessibleInterface* part = item ? item->focusChild() : nullptr;
        return part ? part : item;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        return row < 0 || column < 0 ? nullptr : cell(row, column);
    }
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
    void modelChange(QAccessibleTableModelChangeEvent* event) override
    {
        // Rows and columns stay where they are when only data changes: a client keeps the
        // items it holds (and hears their state changes). Any other change may move rows:
        // items are made again, from the model, when next asked for.
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
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

    ViewTracker* m_tracker;
    mutable QHash<int, QAccessible::Id> m_children;
};

QList<QAccessibleInterface*> CellAccessible::columnHeaderCells() const
{
    auto* view = dynamic_cast<ViewAccessible*>(parent());
    if (!isItem() || !view || !shownHeader(m_view))
        return {};
    return {view->cell(-1, m_column)};
}

ViewAccessible* viewInterface(QAbstractItemView* view)
{
    return dynamic_cast<ViewAccessible*>(QAccessible::queryAccessibleInterface(view));
}

void ViewTracker::announce(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (!QAccessible::isActive() || !topLeft.isValid() || !bottomRight.isValid())
        return;
    ViewAccessible* table = viewInterface(m_view);
    if (!table)
        return;
    const auto changed = [this](quint64 slot, bool now) {
        const auto it = m_shown.find(slot);
        if (it == m_shown.end()) {
            m_shown.insert(slot, now);
            return false;
        }
        if (it.value() == now)
            return false;
        it.value() = now;
        return true;
    };
    const auto post = [](QAccessibleInterface* iface) {
        if (!iface)
            return;
        QAccessible::State checked;
        checked.checked = true;
        QAccessibleStateChangeEvent event(iface, checked);
        QAccessible::updateAccessibility(&event);
    };
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        for (int column = topLeft.column(); column <= bottomRight.column(); ++column) {
            const QModelIndex index = m_view->model()->index(row, column, m_view->rootIndex());
            if (const std::optional<bool> checked = m_actions->checkedState(index);
                checked && changed(key(row, column, -1), *checked))
                post(table->cell(row, column));
            const QList<ItemViewActions::Part> parts = m_actions->parts(index);
            for (int i = 0; i < parts.size(); ++i) {
                if (parts.at(i).checked && changed(key(row, column, i), *parts.at(i).checked)) {
                    if (QAccessibleInterface* item = table->cell(row, column))
                        post(item->child(i));
                }
            }
        }
    }
}

QAccessibleInterface* viewFactory(const QString&, QObject* object)
{
    ViewTracker* tracker = registry().value(object);
    return tracker ? new ViewAccessible(static_cast<QAbstractItemView*>(object), tracker) : nullptr;
}

void postFocus(QAccessibleInterface* iface)
{
    if (!iface)
        return;
    QAccessibleEvent event(iface, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}

} // namespace

namespace ItemViewAccessible {

void install(QAbstractItemView* view, ItemViewActions* actions)
{
    QAccessible::installFactory(&viewFactory); // a second install is ignored
    registry().insert(view, new ViewTracker(view, actions));
    // Setting a widget's accessible name already asks for (and keeps) its interface: drop any
    // made before, so the next request makes this one.
    if (QAccessibleInterface* earlier = QAccessible::queryAccessibleInterface(view))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(earlier));
    QObject::connect(view, &QObject::destroyed, [view] { registry().remove(view); });
}

void announcePartFocus(QAbstractItemView* view, const QModelIndex& index, int part)
{
    if (!QAccessible::isActive() || !index.isValid())
        return;
    ViewAccessible* table = viewInterface(view);
    QAccessibleInterface* item = table ? table->cell(index.row(), index.column()) : nullptr;
    if (!item)
        return;
    postFocus(part < 0 ? item : item->child(part));
}

void announceHeaderFocus(QAbstractItemView* view, int section)
{
    if (!QAccessible::isActive())
        return;
    if (ViewAccessible* table = viewInterface(view))
        postFocus(table->cell(-1, section));
}

} // namespace ItemViewAccessible
