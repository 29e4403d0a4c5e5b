#include "pluginlist/PluginListView.h"

#include "Platform/PlatformServices.h"
#include "Platform/Workspace.h"
#include "catalogue/ManufacturerWebsites.h"
#include "operations/PluginManagerViewModel.h"
#include "pluginlist/PluginCellDelegate.h"
#include "pluginlist/PluginTableActions.h"
#include "pluginlist/PluginTableModel.h"
#include "pluginlist/RowContextMenu.h"
#include "widgets/AppTheme.h"
#include "widgets/BusySpinner.h"
#include "widgets/KeyboardHeaderView.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

PluginListView::PluginListView(PluginManagerViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("pluginListView"));
    m_model = new PluginTableModel(m_viewModel, this);
    m_delegate = new PluginCellDelegate(this);
    m_wasPreview = m_model->isPreviewMode();

    buildTable();
    configureColumns();

    buildFooter();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_footer);
    // The header is read before the rows it heads.
    QWidget::setTabOrder(m_table->horizontalHeader(), m_table);

    m_pagingCheck.setSingleShot(true);
    m_pagingCheck.setInterval(0);
    connect(&m_pagingCheck, &QTimer::timeout, this, &PluginListView::checkLastRowVisible);

    connectTable();
    connect(&m_viewModel, &PluginManagerViewModel::selectedPluginsChanged, this,
            &PluginListView::onViewModelSelectionChanged);
    connect(&m_viewModel, &PluginManagerViewModel::countsChanged, this, &PluginListView::updateFooter);
    connect(&m_viewModel, &PluginManagerViewModel::sortOrderChanged, this, &PluginListView::updateSortIndicator);
    connect(&m_viewModel, &PluginManagerViewModel::operationRunningChanged, this, &PluginListView::updateInteractivity);

    m_shownQuery = currentQuery();
    updateSortIndicator();
    updateFooter();
    updateInteractivity();
    if (!m_model->isPreviewMode())
        applySelectionToTable(m_viewModel.selectedPlugins());
}

PluginListView::~PluginListView() = default;

void PluginListView::buildTable()
{
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("pluginTable"));
    // The keyboard's road to sorting: Tab reaches the header, Space sorts by the column reached.
    m_table->setHorizontalHeader(new KeyboardHeaderView(Qt::Horizontal, m_table));
    m_table->setAccessibleName(QStringLiteral("Plugins"));
    m_table->setModel(m_model);
    m_table->setItemDelegate(m_delegate);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(m_wasPreview ? QAbstractItemView::NoSelection : QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // One Tab stop: the arrows move inside the table, Tab moves on to the bulk panel.
    m_table->setTabKeyNavigation(false);
    m_tableActions = std::make_unique<PluginTableActions>(*this);
    ItemViewAccessible::install(m_table, m_tableActions.get());
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setMouseTracking(true);
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->verticalHeader()->hide();
    // Fixed row heights keep 20,000 rows cheap to lay out and scroll.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(30);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->viewport()->installEventFilter(this);
    m_table->installEventFilter(this);
}

void PluginListView::connectTable()
{
    QHeaderView* header = m_table->horizontalHeader();
    connect(header, &QHeaderView::sectionClicked, this, &PluginListView::sortByColumn);
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int) { onSectionResized(section); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PluginListView::onTableSelectionChanged);
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this, &PluginListView::schedulePagingCheck);
    connect(m_table->verticalScrollBar(), &QScrollBar::rangeChanged, this, &PluginListView::schedulePagingCheck);
    connect(m_table, &QWidget::customContextMenuRequested, this, &PluginListView::showContextMenu);
    connect(m_delegate, &PluginCellDelegate::toggleRequested, this, &PluginListView::requestToggle);
    connect(m_delegate, &PluginCellDelegate::linkActivated, this, &PluginListView::openManufacturer);

    connect(m_model, &PluginTableModel::modelReset, this, [this] {
        const bool preview = m_model->isPreviewMode();
        if (preview != m_wasPreview) {
            m_wasPreview = preview;
            m_table->setSelectionMode(preview ? QAbstractItemView::NoSelection : QAbstractItemView::ExtendedSelection);
            configureColumns();
        }
    });
    connect(m_model, &PluginTableModel::rowsSynced, this, [this] {
        // A reset drops the table's selection; the view model's selection is re-applied.
        if (!m_model->isPreviewMode())
            applySelectionToTable(m_viewModel.selectedPlugins());
        // Another filter, search or sort is a new list: it starts at its top. Done before
        // the paging check, so the old scroll position cannot page in more rows at once.
        ShownQuery query = currentQuery();
        if (query != m_shownQuery) {
            m_shownQuery = std::move(query);
            m_table->scrollToTop();
        }
        updateFooter();
        schedulePagingCheck();
    });
}

QString PluginListView::keyboardHintText()
{
    // The keys QTableView itself moves to the first and last row with, as this platform writes them.
    const QString top = QKeySequence(Qt::CTRL | Qt::Key_Home).toString(QKeySequence::NativeText);
    const QString bottom = QKeySequence(Qt::CTRL | Qt::Key_End).toString(QKeySequence::NativeText);
    return top + QStringLiteral(" Top · ") + bottom + QStringLiteral(" Bottom");
}

PluginListView::ShownQuery PluginListView::currentQuery() const
{
    ShownQuery query;
    query.searchText = m_viewModel.searchText();
    query.formats = m_viewModel.selectedFormats();
    query.manufacturers = m_viewModel.selectedManufacturers();
    query.sortOrder = m_viewModel.sortOrder();
    if (const auto& list = m_viewModel.activeFavoritesList())
        query.favoritesList = list->id;
    if (const auto& profile = m_viewModel.activeProfile()) {
        query.profile = profile->id;
        query.profileViewFilter = m_viewModel.profileViewFilter();
        query.profileSortMode = m_viewModel.profileSortMode();
    }
    return query;
}

void PluginListView::configureColumns()
{
    // Status, Format, Version and Last Used start wide enough for their title (with the
    // sort arrow) and their widest usual cell; Name and Manufacturer share the rest, so the
    // six columns fit the column without a horizontal scroll bar. All but Manufacturer
    // (which takes what is left) stay resizable by hand.
    QHeaderView* header = m_table->horizontalHeader();
    const bool preview = m_model->isPreviewMode();
    const QScopedValueRollback fitting(m_fittingColumns, true);
    header->setStretchLastSection(false);
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (column == PluginTableModel::manufacturerColumn) {
            header->setSectionResizeMode(column, QHeaderView::Stretch);
            continue;
        }
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        if (column != PluginTableModel::nameColumn)
            header->resizeSection(
                column, qMax(header->sectionSizeHint(column), PluginCellDelegate::contentWidth(column, preview)));
    }
    fitNameColumn();
    updateSortIndicator();
}

int PluginListView::flexibleWidth() const
{
    const QHeaderView* header = m_table->horizontalHeader();
    int fixed = 0;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (column != PluginTableModel::nameColumn && column != PluginTableModel::manufacturerColumn)
            fixed += header->sectionSize(column);
    }
    return m_table->viewport()->width() - fixed;
}

void PluginListView::fitNameColumn()
{
    QHeaderView* header = m_table->horizontalHeader();
    const int flexible = flexibleWidth();
    // Name keeps its share of the room Name and Manufacturer have, neither below its title.
    const int manufacturerMinimum = header->sectionSizeHint(PluginTableModel::manufacturerColumn);
    int name = qMin(qRound(flexible * m_nameShare), flexible - manufacturerMinimum);
    name = qMax(name, header->sectionSizeHint(PluginTableModel::nameColumn));
    if (name == header->sectionSize(PluginTableModel::nameColumn))
        return;
    const QScopedValueRollback fitting(m_fittingColumns, true);
    header->resizeSection(PluginTableModel::nameColumn, name);
}

void PluginListView::onSectionResized(int section)
{
    // Manufacturer only follows the others; a hand-made width of any other column sets
    // the share Name keeps from now on.
    if (m_fittingColumns || section == PluginTableModel::manufacturerColumn)
        return;
    const int flexible = flexibleWidth();
    if (flexible <= 0)
        return;
    const int name = m_table->horizontalHeader()->sectionSize(PluginTableModel::nameColumn);
    m_nameShare = std::clamp(double(name) / flexible, kMinimumNameShare, kMaximumNameShare);
}

void PluginListView::buildFooter()
{
    m_footer = new QWidget(this);
    m_footer->setObjectName(QStringLiteral("pluginListFooter"));
    auto* row = new QHBoxLayout(m_footer);
    row->setContentsMargins(20, 4, 20, 4);
    row->setSpacing(8);

    m_countLabel = new QLabel(m_footer);
    m_countLabel->setObjectName(QStringLiteral("pluginCountLabel"));
    m_countLabel->setFont(Typography::listCaption());
    Styles::setTextColor(m_countLabel, AppTheme::textTertiary());

    m_spinner = new BusySpinner(12, QStringLiteral("Loading"), m_footer);

    m_loadAllButton = new QPushButton(QStringLiteral("Load All"), m_footer);
    m_loadAllButton->setObjectName(QStringLiteral("loadAllButton"));
    m_loadAllButton->setAccessibleName(QStringLiteral("Load All"));
    m_loadAllButton->setFlat(true);
    m_loadAllButton->setCursor(Qt::PointingHandCursor);
    const QColor blue = AppTheme::accentBlue();
    // The blue of the text, dark enough to read on its own pressed wash.
    const QColor text =
        AppTheme::legible(blue, AppTheme::over(AppTheme::withAlpha(blue, 60 / 255.0), AppTheme::readingBackground()));
    m_loadAllButton->setIcon(SymbolIcons::tinted(QStringLiteral("arrow.down.to.line"), text));
    m_loadAllButton->setIconSize(QSize(10, 10));
    m_loadAllButton->setFont(Typography::withWeight(Typography::listCaption(), QFont::Medium));
    m_loadAllButton->setStyleSheet(Styles::washedButton(blue, text));
    connect(m_loadAllButton, &QPushButton::clicked, this, [this] { m_viewModel.loadAllPages(); });

    m_hintLabel = new QLabel(keyboardHintText(), m_footer);
    m_hintLabel->setObjectName(QStringLiteral("keyboardHint"));
    m_hintLabel->setFont(Typography::listCaption2());
    Styles::setTextColor(m_hintLabel, AppTheme::textTertiary());

    row->addWidget(m_countLabel);
    row->addWidget(m_spinner);
    row->addStretch(1);
    row->addWidget(m_loadAllButton);
    row->addWidget(m_hintLabel);
}

bool PluginListView::isShowingProfileChanges() const
{
    return m_viewModel.activeProfile().has_value() && m_viewModel.profileViewFilter() == QLatin1String("changes");
}

void PluginListView::updateFooter()
{
    const qint64 total = m_viewModel.totalPluginCount();
    m_footer->setVisible(total >= 1);
    // The change list of a previewed profile is whole, never paged: no spinner, no Load All.
    const bool more = m_viewModel.canLoadMore() && !isShowingProfileChanges();
    m_countLabel->setText(
        QStringLiteral("Showing %1 of %2 plugins").arg(m_viewModel.filteredPlugins().size()).arg(total));
    m_spinner->setVisible(more);
    m_loadAllButton->setVisible(more);
    const qint64 listed = isShowingProfileChanges() ? m_model->rowCount() : total;
    m_hintLabel->setVisible(!more && listed > PluginManagerViewModel::pageSize);
    m_footer->layout()->setContentsMargins(20, 4, 20, m_model->isPreviewMode() ? 8 : 4);
}

void PluginListView::updateSortIndicator()
{
    QHeaderView* header = m_table->horizontalHeader();
    const QList<PluginSortComparator>& order = m_viewModel.sortOrder();
    const QSignalBlocker blocker(header);
    if (order.isEmpty()) {
        header->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    const int column = m_model->columnOf(order.first().key);
    header->setSortIndicator(column, order.first().forward ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void PluginListView::sortByColumn(int section)
{
    // First click on a header sorts ascending; clicking the sorted header reverses it.
    const PluginSortKey key = PluginTableModel::sortKey(section);
    const QList<PluginSortComparator>& order = m_viewModel.sortOrder();
    bool forward = true;
    if (!order.isEmpty() && order.first().key == key)
        forward = !order.first().forward;
    m_viewModel.setSortOrder({PluginSortComparator{key, forward}});
    updateSortIndicator();
}

void PluginListView::onTableSelectionChanged()
{
    if (m_applyingSelection || m_model->isSyncing() || m_model->isPreviewMode())
        return;
    QSet<QUuid> ids;
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    ids.reserve(rows.size());
    for (const QModelIndex& index : rows) {
        if (const AudioPlugin* plugin = m_model->pluginAt(index.row()))
            ids.insert(plugin->id);
    }
    m_pushingSelection = true;
    m_viewModel.setSelectedPlugins(ids);
    m_pushingSelection = false;
    handleSelectionChange(m_viewModel.selectedPlugins());
}

void PluginListView::onViewModelSelectionChanged()
{
    if (m_pushingSelection)
        return;
    if (m_model->isPreviewMode()) {
        // The preview table refuses selection (an empty set ends the loop).
        if (!m_viewModel.selectedPlugins().isEmpty())
            m_viewModel.setSelectedPlugins({});
        return;
    }
    applySelectionToTable(m_viewModel.selectedPlugins());
    handleSelectionChange(m_viewModel.selectedPlugins());
}

void PluginListView::handleSelectionChange(const QSet<QUuid>& current)
{
    const QSet<QUuid> added = current - m_previousSelection;
    const QSet<QUuid> removed = m_previousSelection - current;
    m_previousSelection = current;
    if (added.isEmpty() && removed.isEmpty())
        return;
    // The collected selection only grows here; rows leaving the table stay collected.
    m_viewModel.syncSelectionDelta(added, removed);
}

void PluginListView::applySelectionToTable(const QSet<QUuid>& ids)
{
    QItemSelectionModel* selection = m_table->selectionModel();
    QItemSelection wanted;
    const QList<AudioPlugin>& rows = m_model->rows();
    const int lastColumn = m_model->columnCount() - 1;
    int runStart = -1;
    for (int row = 0; row <= rows.size(); ++row) {
        const bool selected = row < rows.size() && ids.contains(rows.at(row).id);
        if (selected && runStart < 0)
            runStart = row;
        if (!selected && runStart >= 0) {
            wanted.select(m_model->index(runStart, 0), m_model->index(row - 1, lastColumn));
            runStart = -1;
        }
    }
    m_applyingSelection = true;
    selection->select(wanted, QItemSelectionModel::ClearAndSelect);
    m_applyingSelection = false;
}

void PluginListView::schedulePagingCheck()
{
    m_pagingCheck.start();
}

void PluginListView::checkLastRowVisible()
{
    const int count = m_model->rowCount();
    if (count == 0 || !isVisible() || !m_viewModel.canLoadMore() || isShowingProfileChanges())
        return;
    const QRect last = m_table->visualRect(m_model->index(count - 1, PluginTableModel::nameColumn));
    if (last.isValid() && last.intersects(m_table->viewport()->rect()))
        m_viewModel.loadMoreIfNeeded();
}

void PluginListView::requestToggle(const QModelIndex& index)
{
    const AudioPlugin* plugin = m_model->pluginAt(index.row());
    if (!plugin || m_viewModel.isOperationRunning())
        return;
    const AudioPlugin target = *plugin;
    // Runs after the click has been handled: the toggle reloads the rows.
    QTimer::singleShot(0, &m_viewModel, [this, target] {
        if (!m_viewModel.isOperationRunning())
            m_viewModel.togglePlugin(target);
    });
}

void PluginListView::toggleRow(const QModelIndex& index)
{
    if (!m_model->isPreviewMode() && m_delegate->isInteractive())
        requestToggle(index);
}

void PluginListView::showRowMenu(const QModelIndex& index)
{
    if (index.isValid())
        showContextMenu(m_table->visualRect(index).center());
}

void PluginListView::focusRow(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    m_table->setFocus(Qt::OtherFocusReason);
    m_table->setCurrentIndex(index);
}

bool PluginListView::handleTableKey(QKeyEvent* event)
{
    const QModelIndex current = m_table->currentIndex();
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && current.isValid() &&
        !m_model->isPreviewMode()) {
        toggleRow(current);
        return true;
    }
    // The platform's other key for the row menu, beside the Menu key.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        showRowMenu(current.isValid() ? current : m_model->index(0, 0));
        return true;
    }
    return false;
}

void PluginListView::openManufacturer(const QModelIndex& index)
{
    const AudioPlugin* plugin = m_model->pluginAt(index.row());
    if (!plugin)
        return;
    if (const auto& workspace = m_viewModel.services().workspace)
        workspace->openUrl(manufacturerWebsiteURL(plugin->manufacturer));
}

QSet<QUuid> PluginListView::contextMenuIds(const QModelIndex& index) const
{
    const AudioPlugin* plugin = index.isValid() ? m_model->pluginAt(index.row()) : nullptr;
    if (!plugin)
        return {};
    const QSet<QUuid>& selected = m_viewModel.selectedPlugins();
    if (selected.contains(plugin->id))
        return selected;
    return {plugin->id};
}

QMenu* PluginListView::createContextMenu(const QModelIndex& index, QWidget* parent)
{
    if (m_model->isPreviewMode())
        return new QMenu(parent);
    return RowContextMenu::build(m_viewModel, m_model->rows(), contextMenuIds(index), parent);
}

void PluginListView::showContextMenu(const QPoint& position)
{
    QMenu* menu = createContextMenu(m_table->indexAt(position), this);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_table->viewport()->mapToGlobal(position));
}

void PluginListView::updateInteractivity()
{
    m_delegate->setInteractive(!m_viewModel.isOperationRunning());
    m_table->viewport()->update();
}

bool PluginListView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress && handleTableKey(static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == m_table->viewport()) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            fitNameColumn();
            schedulePagingCheck();
        } else if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
                    event->type() == QEvent::MouseButtonDblClick) &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            // A secondary click only opens the row menu (the context-menu event still
            // arrives): it must not select, and so collect, the row under the pointer.
            return true;
        } else if (event->type() == QEvent::MouseMove && !m_model->isPreviewMode()) {
            // A pointing hand over the switch and the manufacturer link.
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            const QModelIndex index = m_table->indexAt(pos);
            bool overControl = false;
            if (index.isValid()) {
                const QRect cell = m_table->visualRect(index);
                if (index.column() == PluginTableModel::statusColumn)
                    overControl = PluginCellDelegate::switchRect(cell).contains(pos);
                else if (index.column() == PluginTableModel::manufacturerColumn &&
                         index.data(PluginTableModel::hasManufacturerRole).toBool())
                    overControl =
                        PluginCellDelegate::linkRect(cell, index.data().toString(), Typography::body()).contains(pos);
            }
            if (overControl)
                m_table->viewport()->setCursor(Qt::PointingHandCursor);
            else
                m_table->viewport()->unsetCursor();
        }
    }
    return QWidget::eventFilter(watched, event);
}
