#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

class PluginListView;
class QTableView;

/// What assistive technology sees of the plug-in table: the column headers, then one cell per
/// row and column, numbered as the table numbers them in its focus events. The children are
/// read from the model whenever they are asked for, so a client that still counts the rows of
/// an earlier page gets no cell for a row that is gone (and nothing is printed). The Status
/// cell switches its plug-in, the Manufacturer cell opens the web site, every cell opens the
/// row menu, and a header sorts: each through the same road as the mouse.
class PluginTableAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    PluginTableAccessible(QTableView* table, PluginListView* list);
    ~PluginTableAccessible() override;

    /// Installed once; answers for the table of every PluginListView.
    static void installFactory();

    QAccessible::Role role() const override { return QAccessible::Table; }
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    QAccessibleInterface* headerCell(int column) const { return cachedChild(-1, column); }
    QTableView* table() const;
    PluginListView* list() const { return m_list; }

private:
    /// -1 for the header row.
    QAccessibleInterface* cachedChild(int row, int column) const;
    void dropChildren();

    QPointer<PluginListView> m_list;
    mutable QHash<int, QAccessible::Id> m_children;
};
