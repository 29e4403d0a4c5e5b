#pragma once

#include "catalogue/PluginModels.h"
#include "operations/PluginManagerViewModel.h"

#include <QSet>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

class BusySpinner;
class PluginCellDelegate;
class PluginTableActions;
class PluginTableModel;
class QLabel;
class QKeyEvent;
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
    static constexpr double kDefaultNameShare = 0.58;
    static constexpr double kMinimumNameShare = 0.15;
    static constexpr double kMaximumNameShare = 0.85;

    explicit PluginListView(PluginManagerViewModel& viewModel, QWidget* parent = nullptr);
    ~PluginListView() override;

    QTableView* table() const { return m_table; }
    PluginTableModel* model() const { return m_model; }
    PluginCellDelegate* delegate() const { return m_delegate; }
    QWidget* footer() const { return m_footer; }
    QLabel* countLabel() const { return m_countLabel; }
    QPushButton* loadAllButton() const { return m_loadAllButton; }
    QLabel* keyboardHint() const { return m_hintLabel; }
    BusySpinner* pagingIndicator() const { return m_spinner; }
    /// The footer's key hint: "Ctrl+Home Top · Ctrl+End Bottom" on Linux.
    static QString keyboardHintText();
    /// The table selection as the selection handler last saw it.
    const QSet<QUuid>& previousSelectedPlugins() const { return m_previousSelection; }

    /// The ids a secondary click on `index` acts on: the selection when the row is part
    /// of it, else the row alone; none outside the rows.
    QSet<QUuid> contextMenuIds(const QModelIndex& index) const;
    /// The row menu for those ids (the caller owns it; empty in preview mode).
    QMenu* createContextMenu(const QModelIndex& index, QWidget* parent = nullptr);

    // What a click does, for the keyboard and assistive technology.
    /// Switches the row's plug-in, as a click on its switch does.
    void toggleRow(const QModelIndex& index);
    /// Opens the row menu at the row, as a secondary click does.
    void showRowMenu(const QModelIndex& index);
    /// Makes the row current and selected, as a click on it does.
    void focusRow(const QModelIndex& index);
    /// Opens the web site of the row's manufacturer, as a click on the link does.
    void openManufacturer(const QModelIndex& index);
    /// Sorts by the column, as a click on its header does.
    void sortByColumn(int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// What decides which rows the table lists and in which order. Toggles and scans
    /// leave it alone (the reader keeps their place); a change means a new list.
    struct ShownQuery {
        QString searchText;
        QSet<PluginFormat> formats;
        QSet<QString> manufacturers;
        QList<PluginSortComparator> sortOrder;
        std::optional<QUuid> favoritesList;
        std::optional<QUuid> profile;
        QString profileViewFilter;
        int profileSortMode = 0;
        bool operator==(const ShownQuery&) const = default;
    };
    ShownQuery currentQuery() const;
    void buildFooter();
    void updateFooter();
    /// A previewed profile's "changes" view: a whole list, not paged.
    bool isShowingProfileChanges() const;
    void updateSortIndicator();
    void buildTable();
    void connectTable();
    void configureColumns();
    /// The viewport width less the columns of fixed width.
    int flexibleWidth() const;
    void fitNameColumn();
    void onSectionResized(int section);
    void onTableSelectionChanged();
    void onViewModelSelectionChanged();
    void handleSelectionChange(const QSet<QUuid>& current);
    void applySelectionToTable(const QSet<QUuid>& ids);
    void schedulePagingCheck();
    void checkLastRowVisible();
    void requestToggle(const QModelIndex& index);
    bool handleTableKey(QKeyEvent* event);
    void showContextMenu(const QPoint& position);
    void updateInteractivity();

    PluginManagerViewModel& m_viewModel;
    PluginTableModel* m_model = nullptr;
    PluginCellDelegate* m_delegate = nullptr;
    QTableView* m_table = nullptr;
    QWidget* m_footer = nullptr;
    QLabel* m_countLabel = nullptr;
    BusySpinner* m_spinner = nullptr;
    QPushButton* m_loadAllButton = nullptr;
    QLabel* m_hintLabel = nullptr;
    std::unique_ptr<PluginTableActions> m_tableActions;
    QTimer m_pagingCheck;
    QSet<QUuid> m_previousSelection;
    ShownQuery m_shownQuery;
    bool m_applyingSelection = false;
    bool m_pushingSelection = false;
    bool m_wasPreview = false;
    bool m_fittingColumns = false;
    /// Name's part of the width Name and Manufacturer share.
    double m_nameShare = kDefaultNameShare;
};
