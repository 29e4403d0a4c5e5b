#pragma once

#include "Platform/PlatformServices.h"
#include "Platform/RackhandBus.h"
#include "catalogue/PluginModels.h"
#include "catalogue/PluginProfile.h"
#include "operations/BulkSelection.h"
#include "operations/PluginMover.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

class ActivityLogManager;
class PluginDatabase;
class ProgressWindowManager;

/// The key path a table sort comparator is built on.
enum class PluginSortKey { name, manufacturer, formatRawValue, statusValue, versionValue, lastUsedValue };

/// One sort comparator of the table: a key path and a direction.
struct PluginSortComparator {
    PluginSortKey key = PluginSortKey::name;
    bool forward = true;
    bool operator==(const PluginSortComparator&) const = default;
};

/// Direction of one bundle move.
enum class PluginOperation { enable, disable };

/// The main window's single observable state. It starts every plug-in operation
/// (scan, enable, disable, delete, batch), hands the moves to PluginMover and publishes
/// what they did. Lives on the main thread.
///
/// Moves, batches and deletes are synchronous: they return when done. The scan runs
/// on worker threads and publishes its result here later (see scanForPlugins).
/// Privileged runs keep the event loop turning (the
/// progress poll, repaints), so one operation at a time is enforced:
/// while one runs, isOperationRunning() is true and a second one is refused with
/// an error instead of running against stale state.
class PluginManagerViewModel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PluginManagerViewModel)
public:
    /// Over the catalogue, log, progress panel and services its owner hands in, all kept alive
    /// longer than this object.
    PluginManagerViewModel(PluginDatabase& database, ActivityLogManager& activityLog, ProgressWindowManager& progress,
                           PlatformServices services, QObject* parent = nullptr);
    ~PluginManagerViewModel() override;

    // --- Published state (each setter emits its change signal and runs its observer) ---
    const QList<AudioPlugin>& plugins() const { return m_plugins; }
    bool isLoading() const { return m_isLoading; }
    /// The platform services this state object was built with (views take theirs from here).
    const PlatformServices& services() const { return m_services; }
    /// The activity log this state object records its changes in (views show this one).
    ActivityLogManager& activityLog() const { return m_activityLog; }
    const std::optional<PluginError>& error() const { return m_error; }
    void setError(std::optional<PluginError> error);
    bool resetViewTrigger() const { return m_resetViewTrigger; }
    const QString& manufacturerSearchText() const { return m_manufacturerSearchText; }
    void setManufacturerSearchText(const QString& text);
    const QSet<PluginFormat>& selectedFormats() const { return m_selectedFormats; }
    void setSelectedFormats(const QSet<PluginFormat>& formats); // reloads
    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text); // reloads 50 ms later
    const QSet<QUuid>& selectedPlugins() const { return m_selection.visible; }
    void setSelectedPlugins(const QSet<QUuid>& ids); // rebuilds the drag payload
    const std::optional<PluginProfile>& activeProfile() const { return m_activeProfile; }
    void setActiveProfile(std::optional<PluginProfile> profile);
    bool showAllPlugins() const { return m_showAllPlugins; }
    void setShowAllPlugins(bool show);
    const QList<ConsolidatedPlugin>& consolidatedBulkPlugins() const { return m_selection.consolidated(); }
    const QSet<QUuid>& bulkActiveVariants() const { return m_selection.activeVariants(); }
    const QString& profileViewFilter() const { return m_profileViewFilter; }
    void setProfileViewFilter(const QString& filter); // "changes" recomputes changes
    int profileSortMode() const { return m_profileSortMode; }
    const QList<AudioPlugin>& cachedProfileChanges() const { return m_cachedProfileChanges; }
    const QSet<QUuid>& persistedSelections() const { return m_selection.persisted; }
    const QList<PluginSortComparator>& sortOrder() const { return m_sortOrder; }
    void setSortOrder(const QList<PluginSortComparator>& order); // reloads
    qint64 totalPluginCount() const { return m_totalPluginCount; }
    qint64 dbTotalCount() const { return m_dbTotalCount; }
    qint64 dbEnabledCount() const { return m_dbEnabledCount; }
    qint64 dbDisabledCount() const { return m_dbDisabledCount; }
    const QSet<QString>& selectedManufacturers() const { return m_selectedManufacturers; }
    void setSelectedManufacturers(const QSet<QString>& manufacturers); // reloads
    const QStringList& allManufacturers() const { return m_allManufacturers; }
    const std::optional<FavoritesList>& activeFavoritesList() const { return m_activeFavoritesList; }
    void setActiveFavoritesList(std::optional<FavoritesList> list); // reloads
    const QList<AudioPlugin>& displayedPlugins() const { return m_displayedPlugins; }
    const QList<AudioPlugin>& newlyDetectedPlugins() const { return m_newlyDetectedPlugins; }
    const PluginKeyTransfer& cachedPluginKeysTransfer() const { return m_cachedPluginKeysTransfer; }
    static constexpr int pageSize = 100;

    /// True while a move, batch, delete or scan runs.
    bool isOperationRunning() const { return m_operationRunning; }

    /// The distributed notification posted after every reload.
    static QString pluginCountChangedNotification() { return QString::fromLatin1(RackhandBus::kPluginCountChanged); }
    /// The error a second operation gets while one is running.
    static PluginError operationBusyError();
    /// True from start-up while a batch script started by an earlier run of the program
    /// still runs: operations are refused (earlierBatchRunningError()), and a scan waits
    /// for it to end; when it ends the folders are scanned.
    bool isWaitingForEarlierBatch() const { return m_waitingForEarlierBatch; }
    static PluginError earlierBatchRunningError();

    // --- Scan, reload, paging ---
    /// Starts a scan of the plug-in folders on worker threads and returns at once. When
    /// it ends, the result is published on this thread (new-plug-in detection, catalogue,
    /// first page, counts), scanFinished() is emitted, then `onFinished` runs. A scan
    /// asked for while one runs joins it and finishes with it. While another operation
    /// runs the scan is refused with operationBusyError() and `onFinished` runs at once.
    void scanForPlugins(std::function<void()> onFinished = {});
    /// The work of a scan, run on a worker thread; by default PluginScanner::scan().
    /// Tests replace it (to hold a scan at a gate, say).
    using ScanWork = std::function<QList<AudioPlugin>()>;
    void setScanWork(ScanWork work);
    void refreshFromDatabase();
    void loadMoreIfNeeded();
    void loadAllPages();
    bool canLoadMore() const { return m_hasMorePages; }
    QList<AudioPlugin> allFilteredPlugins() const;
    /// The rows of each format in the whole catalogue, as of the last reload.
    const QHash<PluginFormat, qint64>& pluginCounts() const { return m_formatCounts; }
    void refreshAllState();
    void resetView();
    /// The SQL column and direction of a sort order.
    static std::pair<QString, bool> sqlSortFromComparators(const QList<PluginSortComparator>& order);

    // --- Selection, bulk pane, profile preview ---
    void syncSelectionDelta(const QSet<QUuid>& added, const QSet<QUuid>& removed);
    void clearSelection();
    void invertSelection();
    void removeWavesPluginsFromSelection();
    void deselectPluginsByName(const QString& name);
    void toggleBulkVariant(const QUuid& id);
    QList<PluginFormat> selectedFormatsInBulk() const;
    bool isFormatFullyActive(PluginFormat format) const;
    bool isFormatPartiallyActive(PluginFormat format) const;
    void toggleBulkFormat(PluginFormat format);
    QList<AudioPlugin> bulkActionPlugins() const;
    /// The catalogue rows of persistedSelections() (none, and no query, when it is empty).
    QList<AudioPlugin> allSelectedPluginObjects() const;
    qint64 totalSelectedCount() const { return m_selection.persisted.size(); }
    void refreshProfileChanges();
    QList<AudioPlugin> filteredPlugins() const;

    // --- Operations ---
    // The operations take their arguments by value: callers often pass rows of the very
    // lists (plugins(), displayedPlugins(), a table model) that the operation replaces.
    void togglePlugin(AudioPlugin plugin);
    QList<AudioPlugin> allWavesPluginsMatchingName(const QString& name) const;
    bool selectionContainsWavesBundleToDisable() const;
    void deletePlugins(QList<AudioPlugin> plugins);
    void toggleMultiplePlugins(QList<AudioPlugin> plugins);

Q_SIGNALS:
    void pluginsChanged();
    void isLoadingChanged();
    void errorChanged();
    void resetViewTriggerChanged();
    void manufacturerSearchTextChanged();
    void selectedFormatsChanged();
    void searchTextChanged();
    void selectedPluginsChanged();
    void activeProfileChanged();
    void showAllPluginsChanged();
    void consolidatedBulkPluginsChanged();
    void bulkActiveVariantsChanged();
    void profileViewFilterChanged();
    void profileSortModeChanged();
    void cachedProfileChangesChanged();
    void persistedSelectionsChanged();
    void sortOrderChanged();
    void countsChanged(); // totalPluginCount, dbTotalCount, dbEnabledCount, dbDisabledCount
    void selectedManufacturersChanged();
    void allManufacturersChanged();
    void activeFavoritesListChanged();
    void displayedPluginsChanged();                 // a new first page (model reset)
    void displayedPluginsAppended(int firstNewRow); // further pages appended
    void newlyDetectedPluginsChanged();
    void cachedPluginKeysTransferChanged();
    void operationRunningChanged(bool running);
    /// A scan's result has been published (isLoading() is false again).
    void scanFinished();

private:
    friend class PluginManagerViewModelTestAccess;
    /// What a scan's worker thread hands to this thread: the records (origins applied,
    /// already written to the catalogue) and those the catalogue did not hold before.
    struct ScanOutcome {
        QList<AudioPlugin> plugins;
        QStringList manufacturers;
        std::optional<QList<AudioPlugin>> newlyDetected; // none on a first scan
        QString saveError;                               // why the catalogue file did not take them
    };
    /// `beforeFirstWrite` is handed the records just before they go into an empty catalogue.
    static ScanOutcome writeScanResult(QList<AudioPlugin> found, const QString& databasePath,
                                       const QString& originsPath,
                                       const std::function<void(const QList<AudioPlugin>&)>& beforeFirstWrite = {});
    /// A first scan's first page and counts, shown while its write still runs (plain view only).
    void showScanPreview(QList<AudioPlugin> firstPage, qint64 enabled, qint64 total);
    void publishScan(ScanOutcome outcome);
    /// Lets the last scan's thread finish (it waits for its result to be published) and joins it.
    void releaseScanThread();
    /// What each selected id is called after a scan: the same id, else the id of the row
    /// found at the same path; ids of plug-ins that are gone are left out.
    QHash<QUuid, QUuid> idsAfterScan(const QList<AudioPlugin>& scanned) const;
    /// Publishes the selection a scan renamed: the table's part, the bulk pane (switched-off
    /// variants stay off) and the drag payload.
    void publishFollowedSelection(const QSet<QUuid>& switchedOff);
    static std::optional<QList<AudioPlugin>> detectNewPlugins(const QList<AudioPlugin>& plugins,
                                                              const QSet<QString>& existingKeys);
    void updateCachedTransfer();
    /// Drops every selected plug-in that matches from the selection, then rebuilds the bulk pane.
    void deselectWhere(const std::function<bool(const AudioPlugin&)>& matches);
    void refreshBulkPane();
    void setOperationRunning(bool running);
    /// Marks an operation as running; false (with the busy error published) when one already runs.
    bool beginOperation();
    void waitForEarlierBatch();

    QList<AudioPlugin> queryCurrentFilters(qint64 limit, qint64 offset) const;
    /// The first page under the current filters, and the table's selection within it.
    void reloadFirstPage();
    enum class CountsToRead { filteredAndWhole, whole };
    /// The whole catalogue's counts (and the filtered total when asked), then the count announcement.
    void reloadCounts(CountsToRead what);
    /// After a switch: the changed rows, the first page and the whole catalogue's counts.
    void reloadChangedRows(const QSet<QUuid>& ids);
    /// After a delete: the rows leave the list; manufacturers, page and counts are read again.
    void reloadAfterDelete(const QSet<QUuid>& ids);
    /// Drops manufacturers that no longer exist from the filter, without reloading.
    void keepSelectedManufacturersThatExist();
    void announceEnabledCount();
    void setPlugins(QList<AudioPlugin> plugins);
    void setAllManufacturers(QStringList manufacturers);

    /// Publishes what an operation did: reloads, drops deleted rows from the selection,
    /// lets changed bundles' rows follow the disk, and sets the error.
    void publishOutcome(const MoveOutcome& outcome);

    PluginDatabase& m_database;
    ActivityLogManager& m_activityLog;
    PlatformServices m_services;
    QString m_originsPath;
    PluginMover m_mover;

    QList<AudioPlugin> m_plugins;
    bool m_isLoading = false;
    std::optional<PluginError> m_error;
    bool m_resetViewTrigger = false;
    QString m_manufacturerSearchText;
    QSet<PluginFormat> m_selectedFormats;
    QString m_searchText;
    std::optional<PluginProfile> m_activeProfile;
    bool m_showAllPlugins = false;
    QString m_profileViewFilter = QStringLiteral("changes");
    int m_profileSortMode = 2;
    QList<AudioPlugin> m_cachedProfileChanges;
    QList<PluginSortComparator> m_sortOrder{PluginSortComparator{}};
    qint64 m_totalPluginCount = 0;
    qint64 m_dbTotalCount = 0;
    qint64 m_dbEnabledCount = 0;
    qint64 m_dbDisabledCount = 0;
    QHash<PluginFormat, qint64> m_formatCounts;
    QSet<QString> m_selectedManufacturers;
    QStringList m_allManufacturers;
    std::optional<FavoritesList> m_activeFavoritesList;
    QList<AudioPlugin> m_displayedPlugins;
    qint64 m_currentOffset = 0;
    bool m_hasMorePages = false;
    QList<AudioPlugin> m_newlyDetectedPlugins;
    PluginKeyTransfer m_cachedPluginKeysTransfer;
    bool m_operationRunning = false;
    bool m_waitingForEarlierBatch = false;
    BulkSelection m_selection;
    // The catalogue rows of m_selection.persisted, once read; dropped when either changes.
    mutable std::optional<QList<AudioPlugin>> m_selectedRows;

    // The running scan's thread and who waits for its result.
    ScanWork m_scanWork;
    std::thread m_scanThread;
    // Set once the window has taken the scan's result and let go of what it replaced; the
    // scan's thread waits for it, then hands the freed memory back (see scanForPlugins).
    std::atomic_bool m_scanPublished{false};
    bool m_scanRunning = false;
    std::vector<std::function<void()>> m_scanWaiters;
};
