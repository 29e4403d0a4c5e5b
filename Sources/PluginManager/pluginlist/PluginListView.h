#pragma once

#include "PluginModels.h"

#include <QSet>
#include <QTimer>
#include <QUuid>
#include <QWidget>

class BusyIndicator;
class PluginCellDelegate;
class PluginManagerViewModel;
class PluginTableModel;
class QLabel;
class QMenu;
class QModelIndex;
class QPushButton;
class QTableView;

/// The plug-in table of the detail column with its footer. Rows come from the view
/// model one page at a time; the table never sorts or filters itself. While a profile
/// is previewed it shows the read-only preview columns instead.
class PluginListView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PluginListView)
public:
    explicit PluginListView(PluginManagerViewModel& viewModel, QWidget* parent = nullptr);
    ~PluginListView() override;

    QTableView* table() const { return m_table; }
    PluginTableModel* model() const { return m_model; }
    PluginCellDelegate* delegate() const { return m_delegate; }
    QWidget* footer() const { return m_footer; }
    QLabel* countLabel() const { return m_countLabel; }
    QPushButton* loadAllButton() const { return m_loadAllButton; }
    QLabel* keyboardHint() const { return m_hintLabel; }
    BusyIndicator* pagingIndicator() const { return m_spinner; }
    /// The table selection as the selection handler last saw it.
    const QSet<QUuid>& previousSelectedPlugins() const { return m_previousSelection; }

    /// The ids a secondary click on `index` acts on: the selection when the row is part
    /// of it, else the row alone; none outside the rows.
    QSet<QUuid> contextMenuIds(const QModelIndex& index) const;
    /// The row menu for those ids (the caller owns it; empty in preview mode).
    QMenu* createContextMenu(const QModelIndex& index, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFooter();
    void updateFooter();
    void updateSortIndicator();
    void configureColumns();
    void onHeaderClicked(int section);
    void onTableSelectionChanged();
    void onViewModelSelectionChanged();
    void handleSelectionChange(const QSet<QUuid>& current);
    void applySelectionToTable(const QSet<QUuid>& ids);
    void schedulePagingCheck();
    void checkLastRowVisible();
    void requestToggle(const QModelIndex& index);
    void openManufacturer(const QModelIndex& index);
    void showContextMenu(const QPoint& position);
    void updateInteractivity();

    PluginManagerViewModel& m_viewModel;
    PluginTableModel* m_model = nullptr;
    PluginCellDelegate* m_delegate = nullptr;
    QTableView* m_table = nullptr;
    QWidget* m_footer = nullptr;
    QLabel* m_countLabel = nullptr;
    BusyIndicator* m_spinner = nullptr;
    QPushButton* m_loadAllButton = nullptr;
    QLabel* m_hintLabel = nullptr;
    QTimer m_pagingCheck;
    QSet<QUuid> m_previousSelection;
    bool m_applyingSelection = false;
    bool m_pushingSelection = false;
    bool m_wasPreview = false;
};
