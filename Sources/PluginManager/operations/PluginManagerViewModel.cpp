#include "operations/PluginManagerViewModel.h"

#include "Platform/DefaultsStore.h"
#include "Platform/Diagnostics.h"
#include "Platform/NotificationCenter.h"
#include "Platform/Paths.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/PluginDatabase.h"
#include "catalogue/PluginScanner.h"
#include "catalogue/ProfileManager.h"
#include "operations/DisabledOrigins.h"
#include "operations/ScanMemory.h"

#include <QHash>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr qint64 kAllRowsLimit = 100000;
constexpr int kSearchDelayMs = 50;
constexpr int kEarlierBatchPollMs = 250;
// A scan is background work: when the processor is busy, the window's thread goes first.
constexpr int kScanNiceness = 5;
const QString kEnabledCountKey = QStringLiteral("enabledPluginCount");
const QString kChanges = QStringLiteral("changes");

QSet<QUuid> idsOf(const QList<AudioPlugin>& plugins)
{
    QSet<QUuid> ids;
    ids.reserve(plugins.size());
    for (const AudioPlugin& plugin : plugins)
        ids.insert(plugin.id);
    return ids;
}

} // namespace

PluginManagerViewModel::PluginManagerViewModel(PluginDatabase& database, ActivityLogManager& activityLog,
                                               ProgressWindowManager& progress, PlatformServices services,
                                               QObject* parent)
    : QObject(parent), m_database(database), m_activityLog(activityLog), m_services(std::move(services)),
      m_originsPath(DisabledOrigins::defaultPath()),
      m_mover(database, activityLog, progress, m_services, m_originsPath),
      m_scanWork([] { return PluginScanner::scan(); })
{
    ScanMemory::sharePoolsPerCore();
    // The central disabled folders are made once, up front: disabling moves bundles into them.
    PluginScanner::createCentralDisabledDirectoryIfNeeded();
    // A batch whose program died left its script and progress file behind, and a killed
    // copy its hidden staging names. A batch whose script still runs is waited for.
    std::optional<PluginError> unrecorded;
    if (PluginMover::removeStaleBatchFiles()) {
        waitForEarlierBatch();
    } else {
        PluginMover::removeStagingLeftovers();
        // A batch whose window died after its script had ended: its moves are logged now.
        unrecorded = m_mover.recordEndedBatch();
    }
    // The first page and counts of the existing catalogue are shown before any scan.
    refreshFromDatabase();
    // A catalogue file that could not be read was set aside when it was opened.
    if (const QString notice = m_database.takeSetAsideNotice(); !notice.isEmpty())
        setError(PluginError::databaseError(notice));
    else if (unrecorded)
        setError(unrecorded);
}

PluginManagerViewModel::~PluginManagerViewModel()
{
    // A scan still running finishes first; its result is then dropped with this object.
    releaseScanThread();
}

PluginError PluginManagerViewModel::operationBusyError()
{
    return PluginError::unknownError(
        QStringLiteral("Another plug-in operation is still running. Try again when it has finished."));
}

// --- Published state ---

void PluginManagerViewModel::setError(std::optional<PluginError> error)
{
    m_error = std::move(error);
    Q_EMIT errorChanged();
}

void PluginManagerViewModel::setManufacturerSearchText(const QString& text)
{
    m_manufacturerSearchText = text;
    Q_EMIT manufacturerSearchTextChanged();
}

void PluginManagerViewModel::setSelectedFormats(const QSet<PluginFormat>& formats)
{
    m_selectedFormats = formats;
    Q_EMIT selectedFormatsChanged();
    refreshFromDatabase();
}

void PluginManagerViewModel::setSearchText(const QString& text)
{
    m_searchText = text;
    Q_EMIT searchTextChanged();
    // Every change gets its own reload; none is dropped, so fast typing reloads once per keystroke.
    QTimer::singleShot(kSearchDelayMs, this, &PluginManagerViewModel::refreshFromDatabase);
}

void PluginManagerViewModel::setSelectedPlugins(const QSet<QUuid>& ids)
{
    m_selection.visible = ids;
    Q_EMIT selectedPluginsChanged();
    updateCachedTransfer();
}

void PluginManagerViewModel::setActiveProfile(std::optional<PluginProfile> profile)
{
    m_activeProfile = std::move(profile);
    Q_EMIT activeProfileChanged();
}

void PluginManagerViewModel::setShowAllPlugins(bool show)
{
    m_showAllPlugins = show;
    Q_EMIT showAllPluginsChanged();
}

void PluginManagerViewModel::setProfileViewFilter(const QString& filter)
{
    m_profileViewFilter = filter;
    Q_EMIT profileViewFilterChanged();
    if (filter == kChanges)
        refreshProfileChanges();
}

void PluginManagerViewModel::setSortOrder(const QList<PluginSortComparator>& order)
{
    m_sortOrder = order;
    Q_EMIT sortOrderChanged();
    if (m_activeProfile && !m_sortOrder.isEmpty() && m_sortOrder.first().key == PluginSortKey::statusValue) {
        m_profileSortMode = (m_profileSortMode + 1) % 3;
        Q_EMIT profileSortModeChanged();
    }
    refreshFromDatabase();
    if (m_activeProfile)
        refreshProfileChanges();
}

void PluginManagerViewModel::setSelectedManufacturers(const QSet<QString>& manufacturers)
{
    m_selectedManufacturers = manufacturers;
    Q_EMIT selectedManufacturersChanged();
    refreshFromDatabase();
}

void PluginManagerViewModel::setActiveFavoritesList(std::optional<FavoritesList> list)
{
    m_activeFavoritesList = std::move(list);
    Q_EMIT activeFavoritesListChanged();
    refreshFromDatabase();
}

void PluginManagerViewModel::setPlugins(QList<AudioPlugin> plugins)
{
    m_plugins = std::move(plugins);
    Q_EMIT pluginsChanged();
}

void PluginManagerViewModel::setAllManufacturers(QStringList manufacturers)
{
    m_allManufacturers = std::move(manufacturers);
    Q_EMIT allManufacturersChanged();
}

void PluginManagerViewModel::setOperationRunning(bool running)
{
    if (m_operationRunning == running)
        return;
    m_operationRunning = running;
    Q_EMIT operationRunningChanged(running);
}

PluginError PluginManagerViewModel::earlierBatchRunningError()
{
    return PluginError::unknownError(
        QStringLiteral("A batch of moves started before Rackhand was last closed is still running. The list is read "
                       "again from disk when it has finished; try again then."));
}

void PluginManagerViewModel::waitForEarlierBatch()
{
    m_waitingForEarlierBatch = true;
    setOperationRunning(true);
    // The panel says why nothing can be done yet, once the window it centres on is up.
    QTimer::singleShot(0, this, [this] {
        if (m_waitingForEarlierBatch)
            m_mover.showEarlierBatch();
    });
    auto* poll = new QTimer(this);
    poll->setInterval(kEarlierBatchPollMs);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (PluginMover::earlierBatchRunning()) {
            m_mover.showEarlierBatchProgress();
            return;
        }
        poll->deleteLater();
        poll->stop();
        m_mover.hideEarlierBatch();
        PluginMover::removeStaleBatchFiles();
        PluginMover::removeStagingLeftovers();
        const std::optional<PluginError> unrecorded = m_mover.recordEndedBatch();
        m_waitingForEarlierBatch = false;
        setOperationRunning(false);
        // What that batch moved never reached the catalogue: only the disk knows.
        scanForPlugins();
        if (unrecorded)
            setError(unrecorded);
    });
    poll->start();
}

bool PluginManagerViewModel::beginOperation()
{
    if (m_waitingForEarlierBatch) {
        setError(earlierBatchRunningError());
        return false;
    }
    if (m_operationRunning) {
        setError(operationBusyError());
        return false;
    }
    setOperationRunning(true);
    return true;
}

namespace {
// Ends the running operation however the function returns.
class OperationScope {
public:
    explicit OperationScope(std::function<void()> end) : m_end(std::move(end)) {}
    ~OperationScope() { m_end(); }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    std::function<void()> m_end;
};
} // namespace

// --- Scan, reload, paging ---

std::pair<QString, bool> PluginManagerViewModel::sqlSortFromComparators(const QList<PluginSortComparator>& order)
{
    if (order.isEmpty())
        return {QStringLiteral("name"), true};
    const PluginSortComparator& first = order.first();
    QString column;
    switch (first.key) {
    case PluginSortKey::name:
        column = QStringLiteral("name");
        break;
    case PluginSortKey::manufacturer:
        column = QStringLiteral("manufacturer");
        break;
    case PluginSortKey::formatRawValue:
        column = QStringLiteral("format");
        break;
    case PluginSortKey::statusValue:
        column = QStringLiteral("isEnabled");
        break;
    case PluginSortKey::versionValue:
        column = QStringLiteral("version");
        break;
    case PluginSortKey::lastUsedValue:
        column = QStringLiteral("lastUsed");
        break;
    }
    return {column, first.forward};
}

QList<AudioPlugin> PluginManagerViewModel::queryCurrentFilters(qint64 limit, qint64 offset) const
{
    const auto [column, ascending] = sqlSortFromComparators(m_sortOrder);
    const QSet<QString> keys = m_activeFavoritesList ? m_activeFavoritesList->pluginKeys : QSet<QString>{};
    return m_database.queryPlugins(
        {m_searchText, m_selectedFormats, m_selectedManufacturers, keys, column, ascending, limit, offset});
}

void PluginManagerViewModel::setScanWork(ScanWork work)
{
    m_scanWork = std::move(work);
}

void PluginManagerViewModel::scanForPlugins(std::function<void()> onFinished)
{
    if (m_scanRunning || m_waitingForEarlierBatch) {
        // Pressing Scan twice gives one scan, and both callers its result; while an
        // earlier batch still moves bundles, the scan follows when it has finished.
        if (onFinished)
            m_scanWaiters.push_back(std::move(onFinished));
        if (!m_isLoading) {
            m_isLoading = true;
            Q_EMIT isLoadingChanged();
        }
        return;
    }
    if (!beginOperation()) {
        if (onFinished)
            onFinished();
        return;
    }
    m_scanRunning = true;
    if (onFinished)
        m_scanWaiters.push_back(std::move(onFinished));
    m_isLoading = true;
    Q_EMIT isLoadingChanged();
    setError(std::nullopt);

    // The previous scan's thread posted its result and, at most, still trims: joining is quick.
    releaseScanThread();
    m_scanPublished = false;
    // The window keeps painting and answering input while the folders are read and the
    // catalogue is rewritten: both happen on this worker thread, at a lower priority
    // than the window's. An unopened catalogue is left to the reads on this thread.
    const QString databasePath = m_database.isOpen() ? m_database.path() : QString();
    const QString openFailure = m_database.isOpen() ? QString() : m_database.openFailure();
    m_scanThread = std::thread([this, work = m_scanWork, databasePath, openFailure, originsPath = m_originsPath] {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kScanNiceness);
        // Into an empty catalogue the write takes as long as the scan: the first page is shown meanwhile.
        const auto preview = [this](const QList<AudioPlugin>& plugins) {
            QList<AudioPlugin> page = PluginDatabase::firstPageByName(plugins, pageSize);
            const auto enabled = qint64(std::count_if(plugins.cbegin(), plugins.cend(),
                                                      [](const AudioPlugin& plugin) { return plugin.isEnabled; }));
            QMetaObject::invokeMethod(
                this,
                [this, page = std::move(page), enabled, total = qint64(plugins.size())]() mutable {
                    showScanPreview(std::move(page), enabled, total);
                },
                Qt::QueuedConnection);
        };
        ScanOutcome outcome = writeScanResult(work(), databasePath, originsPath, preview);
        if (databasePath.isEmpty())
            outcome.saveError = openFailure;
        // The scan's threads freed their walked trees into the allocator's per-thread pools, which
        // keep the pages; a window that scanned once would otherwise carry them for good. The
        // rows it keeps are copied out of those pools first, so the pools keep little else.
        ScanMemory::returnFreedPagesPromptly();
        ScanMemory::packTexts(outcome.plugins);
        ::malloc_trim(0);
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)]() mutable { publishScan(std::move(outcome)); },
            Qt::QueuedConnection);
        // Then what the window let go of when it took the result: the rows it replaced and its
        // connection's cached pages. A trim takes tens of milliseconds at 100,000 bundles, too
        // long for the window's thread.
        m_scanPublished.wait(false);
        ::malloc_trim(0);
    });
}

void PluginManagerViewModel::releaseScanThread()
{
    m_scanPublished = true;
    m_scanPublished.notify_one();
    if (m_scanThread.joinable())
        m_scanThread.join();
}

PluginManagerViewModel::ScanOutcome
PluginManagerViewModel::writeScanResult(QList<AudioPlugin> found, const QString& databasePath,
                                        const QString& originsPath,
                                        const std::function<void(const QList<AudioPlugin>&)>& beforeFirstWrite)
{
    ScanOutcome outcome;
    // The folder alone cannot tell where a free-named or user-folder bundle came from.
    DisabledOrigins origins(originsPath);
    outcome.plugins = origins.apply(std::move(found));
    // Saving only drops records that speak for nothing, which the next scan drops again; the
    // side-file writer prints a failure.
    static_cast<void>(origins.saveIfChanged());
    if (databasePath.isEmpty()) {
        outcome.newlyDetected = detectNewPlugins(outcome.plugins, {});
        return outcome;
    }
    // Its own connection: SQLite connections stay on one thread. Under WAL the window's
    // connection keeps reading the previous catalogue until this one commits; nothing
    // else writes meanwhile, since operations are refused while a scan runs.
    // A file found unreadable here is set aside on the window's thread, once this
    // connection is closed (see publishScan).
    PluginDatabase writer(databasePath, PluginDatabase::Unreadable::report);
    const QSet<QString> existingKeys = writer.getAllPluginKeys();
    if (existingKeys.isEmpty() && beforeFirstWrite && !outcome.plugins.isEmpty())
        beforeFirstWrite(outcome.plugins);
    // Bundles found again keep their rows and ids, so selections made on the old rows stay valid.
    outcome.saveError = writer.writeScan(outcome.plugins);
    if (outcome.saveError.isEmpty())
        outcome.manufacturers = writer.getDistinctManufacturers();
    outcome.newlyDetected = detectNewPlugins(outcome.plugins, existingKeys);
    return outcome;
}

void PluginManagerViewModel::showScanPreview(QList<AudioPlugin> firstPage, qint64 enabled, qint64 total)
{
    // Only over an empty table and the plain first view, whose order the preview follows;
    // the published scan then reads the same page from the catalogue.
    const auto [column, ascending] = sqlSortFromComparators(m_sortOrder);
    if (!m_scanRunning || !m_displayedPlugins.isEmpty() || !m_searchText.isEmpty() || !m_selectedFormats.isEmpty() ||
        !m_selectedManufacturers.isEmpty() || m_activeFavoritesList || column != QLatin1String("name") || !ascending)
        return;
    m_currentOffset = 0;
    m_hasMorePages = false; // the rest is read from the catalogue once written
    m_displayedPlugins = std::move(firstPage);
    Q_EMIT displayedPluginsChanged();
    m_totalPluginCount = total;
    m_dbEnabledCount = enabled;
    m_dbDisabledCount = total - enabled;
    m_dbTotalCount = total;
    Q_EMIT countsChanged();
}

void PluginManagerViewModel::publishScan(ScanOutcome outcome)
{
    // Damage that the opening did not see: the file goes aside and the scan fills a new one.
    QString notice;
    if (PluginDatabase::isDamageReason(outcome.saveError) &&
        m_database.replaceDamagedFile(outcome.plugins, outcome.saveError).isEmpty()) {
        outcome.saveError.clear();
        outcome.manufacturers = m_database.getDistinctManufacturers();
        notice = m_database.takeSetAsideNotice();
    }
    // What the window shows is the scan's own result, even when the file would not take it.
    if (!outcome.saveError.isEmpty()) {
        Diagnostics::print(QStringLiteral("❌ The plug-in list could not be saved: ") + outcome.saveError);
        m_database.holdInMemory(outcome.plugins);
        outcome.manufacturers = m_database.getDistinctManufacturers();
    } else {
        m_database.reattachFile();
    }
    // Every row has a new id now: the selection follows its plug-ins, and forgets those that went.
    const bool hadSelection = !m_selection.persisted.isEmpty();
    const QSet<QUuid> switchedOff = m_selection.followNewIds(idsAfterScan(outcome.plugins));
    m_selectedRows.reset();
    setPlugins(std::move(outcome.plugins));
    setAllManufacturers(std::move(outcome.manufacturers));
    refreshFromDatabase();
    // The counts read every row into the connection's page cache; the next reads find those
    // pages in the system's file cache.
    m_database.releaseMemory();
    m_scanPublished = true;
    m_scanPublished.notify_one();
    if (hadSelection)
        publishFollowedSelection(switchedOff);
    m_isLoading = false;
    Q_EMIT isLoadingChanged();
    if (outcome.newlyDetected) {
        m_newlyDetectedPlugins = std::move(*outcome.newlyDetected);
        Q_EMIT newlyDetectedPluginsChanged();
    }

    m_scanRunning = false;
    setOperationRunning(false);
    if (!outcome.saveError.isEmpty())
        setError(
            PluginError::databaseError(QStringLiteral("The plug-in list could not be saved: ") + outcome.saveError));
    else if (!notice.isEmpty())
        setError(PluginError::databaseError(notice));
    Q_EMIT scanFinished();
    const std::vector<std::function<void()>> waiters = std::exchange(m_scanWaiters, {});
    for (const std::function<void()>& waiter : waiters)
        waiter();
}

QHash<QUuid, QUuid> PluginManagerViewModel::idsAfterScan(const QList<AudioPlugin>& scanned) const
{
    QHash<QUuid, QUuid> newIds;
    if (m_selection.persisted.isEmpty())
        return newIds;
    // The rows the ids were chosen from are still the lists of before the scan.
    QHash<QUuid, QString> selectedPaths;
    for (const QList<AudioPlugin>* rows : {&m_plugins, &m_displayedPlugins}) {
        for (const AudioPlugin& plugin : *rows) {
            if (m_selection.persisted.contains(plugin.id))
                selectedPaths.insert(plugin.id, plugin.currentPath);
        }
    }
    QHash<QString, QUuid> idOfPath;
    QSet<QUuid> scannedIds;
    idOfPath.reserve(scanned.size());
    scannedIds.reserve(scanned.size());
    for (const AudioPlugin& plugin : scanned) {
        idOfPath.insert(plugin.currentPath, plugin.id);
        scannedIds.insert(plugin.id);
    }
    for (const QUuid& id : std::as_const(m_selection.persisted)) {
        if (scannedIds.contains(id)) {
            newIds.insert(id, id);
            continue;
        }
        const auto path = selectedPaths.constFind(id);
        if (path == selectedPaths.constEnd())
            continue;
        if (const auto found = idOfPath.constFind(*path); found != idOfPath.constEnd())
            newIds.insert(id, *found);
    }
    return newIds;
}

void PluginManagerViewModel::publishFollowedSelection(const QSet<QUuid>& switchedOff)
{
    Q_EMIT persistedSelectionsChanged();
    // The page's reload set the table's part only while something stayed selected.
    if (m_selection.persisted.isEmpty())
        setSelectedPlugins({});
    m_selection.rebuildBulkPane(allSelectedPluginObjects(), switchedOff);
    Q_EMIT bulkActiveVariantsChanged();
    Q_EMIT consolidatedBulkPluginsChanged();
    updateCachedTransfer();
}

std::optional<QList<AudioPlugin>> PluginManagerViewModel::detectNewPlugins(const QList<AudioPlugin>& plugins,
                                                                           const QSet<QString>& existingKeys)
{
    Diagnostics::print(QStringLiteral("🔍 Scan debug: existingKeys.count = ") + QString::number(existingKeys.size()));
    Diagnostics::print(QStringLiteral("🔍 Scan debug: plugins.count = ") + QString::number(plugins.size()));
    if (existingKeys.isEmpty()) {
        Diagnostics::print(QStringLiteral("⚠️ Scan debug: existingKeys.isEmpty, skipping new plugin detection"));
        return std::nullopt;
    }
    QList<AudioPlugin> fresh;
    for (const AudioPlugin& plugin : plugins) {
        if (existingKeys.contains(plugin.key()))
            continue;
        Diagnostics::print(QStringLiteral("🆕 New plugin detected: ") + plugin.name + QStringLiteral(" (") +
                           PluginFormats::rawValue(plugin.format) + u')');
        fresh.append(plugin);
    }
    Diagnostics::print(QStringLiteral("🔍 Scan debug: newlyDetectedPlugins.count = ") + QString::number(fresh.size()));
    return fresh;
}

void PluginManagerViewModel::refreshFromDatabase()
{
    reloadFirstPage();
    reloadCounts(CountsToRead::filteredAndWhole);
}

void PluginManagerViewModel::reloadFirstPage()
{
    m_currentOffset = 0;
    m_displayedPlugins = queryCurrentFilters(pageSize, 0);
    Q_EMIT displayedPluginsChanged();

    if (!m_selection.persisted.isEmpty()) {
        QSet<QUuid> visible;
        for (const AudioPlugin& plugin : std::as_const(m_displayedPlugins)) {
            if (m_selection.persisted.contains(plugin.id))
                visible.insert(plugin.id);
        }
        setSelectedPlugins(visible);
    }
}

void PluginManagerViewModel::reloadCounts(CountsToRead what)
{
    if (what == CountsToRead::filteredAndWhole) {
        const QSet<QString> keys = m_activeFavoritesList ? m_activeFavoritesList->pluginKeys : QSet<QString>{};
        m_totalPluginCount = m_database.totalCount(m_searchText, m_selectedFormats, m_selectedManufacturers, keys);
    }
    m_hasMorePages = m_displayedPlugins.size() < m_totalPluginCount;
    const PluginDatabase::Counts counts = m_database.counts();
    m_dbEnabledCount = counts.enabled;
    m_dbDisabledCount = counts.disabled;
    m_dbTotalCount = m_dbEnabledCount + m_dbDisabledCount;
    m_formatCounts = counts.byFormat;
    for (const PluginFormat format : PluginFormats::allCases) {
        if (!m_formatCounts.contains(format))
            m_formatCounts.insert(format, 0);
    }
    Q_EMIT countsChanged();
    announceEnabledCount();
}

void PluginManagerViewModel::reloadChangedRows(const QSet<QUuid>& ids)
{
    if (!ids.isEmpty()) {
        QHash<QUuid, AudioPlugin> changed;
        for (const AudioPlugin& row : m_database.getPluginsByIds(ids))
            changed.insert(row.id, row);
        // Every list that holds a changed row takes the row as it is now.
        const auto follow = [&changed](QList<AudioPlugin>& rows) {
            qsizetype followed = 0;
            for (AudioPlugin& row : rows) {
                if (const auto it = changed.constFind(row.id); it != changed.constEnd()) {
                    row = *it;
                    ++followed;
                }
            }
            return followed;
        };
        if (m_selectedRows)
            follow(*m_selectedRows);
        if (follow(m_plugins) == changed.size()) {
            Q_EMIT pluginsChanged();
        } else {
            // The list was never loaded whole (or lost a row): only the whole catalogue is the truth.
            setPlugins(m_database.queryPlugins({.limit = kAllRowsLimit}));
        }
    }
    // A switch changes no row's filter match: the filtered total stays.
    reloadFirstPage();
    reloadCounts(CountsToRead::whole);
    refreshProfileChanges();
}

void PluginManagerViewModel::reloadAfterDelete(const QSet<QUuid>& ids)
{
    m_selectedRows.reset();
    m_plugins.removeIf([&ids](const AudioPlugin& plugin) { return ids.contains(plugin.id); });
    Q_EMIT pluginsChanged();
    // The last plug-in of a manufacturer may have gone.
    setAllManufacturers(m_database.getDistinctManufacturers());
    keepSelectedManufacturersThatExist();
    refreshFromDatabase();
    refreshProfileChanges();
}

void PluginManagerViewModel::keepSelectedManufacturersThatExist()
{
    QSet<QString> stillThere;
    for (const QString& manufacturer : std::as_const(m_selectedManufacturers)) {
        if (m_allManufacturers.contains(manufacturer))
            stillThere.insert(manufacturer);
    }
    if (stillThere == m_selectedManufacturers)
        return;
    // The caller reloads the page and counts once for every change together.
    m_selectedManufacturers = stillThere;
    Q_EMIT selectedManufacturersChanged();
}

void PluginManagerViewModel::announceEnabledCount()
{
    // The helper program re-reads its count from the catalogue when this arrives; sent on
    // every reload, whether or not the count changed.
    if (m_services.defaults)
        m_services.defaults->setValue(DefaultsStore::sharedSuite(), kEnabledCountKey, m_dbEnabledCount);
    if (m_services.notificationCenter)
        m_services.notificationCenter->post(pluginCountChangedNotification());
}

void PluginManagerViewModel::loadMoreIfNeeded()
{
    if (!m_hasMorePages)
        return;
    m_currentOffset += pageSize;
    const QList<AudioPlugin> rows = queryCurrentFilters(pageSize, m_currentOffset);
    const int firstNewRow = static_cast<int>(m_displayedPlugins.size());
    m_displayedPlugins.append(rows);
    // A catalogue that shrank under the count must not leave the table waiting for rows forever.
    m_hasMorePages = !rows.isEmpty() && m_displayedPlugins.size() < m_totalPluginCount;
    if (!rows.isEmpty())
        Q_EMIT displayedPluginsAppended(firstNewRow);
}

void PluginManagerViewModel::loadAllPages()
{
    if (!m_hasMorePages)
        return;
    const QList<AudioPlugin> rows = queryCurrentFilters(m_totalPluginCount, m_displayedPlugins.size());
    const int firstNewRow = static_cast<int>(m_displayedPlugins.size());
    m_displayedPlugins.append(rows);
    m_currentOffset = m_displayedPlugins.size();
    m_hasMorePages = false;
    if (!rows.isEmpty())
        Q_EMIT displayedPluginsAppended(firstNewRow);
}

QList<AudioPlugin> PluginManagerViewModel::allFilteredPlugins() const
{
    return queryCurrentFilters(kAllRowsLimit, 0);
}

void PluginManagerViewModel::refreshAllState()
{
    m_selectedRows.reset();
    setPlugins(m_database.queryPlugins({.limit = kAllRowsLimit}));
    setAllManufacturers(m_database.getDistinctManufacturers());
    keepSelectedManufacturersThatExist();
    refreshFromDatabase();
    refreshProfileChanges();
}

void PluginManagerViewModel::resetView()
{
    setActiveProfile(std::nullopt);
    clearSelection();
    setSelectedFormats({});
    setSelectedManufacturers({});
    setSearchText(QString());
    setManufacturerSearchText(QString());
    setShowAllPlugins(false);
    m_resetViewTrigger = !m_resetViewTrigger;
    Q_EMIT resetViewTriggerChanged();
}

// --- Selection, bulk pane, profile preview ---

QList<AudioPlugin> PluginManagerViewModel::allSelectedPluginObjects() const
{
    if (m_selection.persisted.isEmpty())
        return {};
    // Read once per change of the selection or of the catalogue: every part of the window asks.
    if (!m_selectedRows)
        m_selectedRows = m_database.getPluginsByIds(m_selection.persisted);
    return *m_selectedRows;
}

void PluginManagerViewModel::syncSelectionDelta(const QSet<QUuid>& added, const QSet<QUuid>& removed)
{
    if (added.isEmpty() && removed.isEmpty())
        return;
    // Rows leaving the table's selection (also by paging or filtering) stay selected.
    const qsizetype before = m_selection.persisted.size();
    m_selection.persisted.unite(added);
    // The table hands back what it was given after each reload: the rows read are still right.
    if (m_selection.persisted.size() != before)
        m_selectedRows.reset();
    Q_EMIT persistedSelectionsChanged();
    refreshBulkPane();
    updateCachedTransfer();
}

void PluginManagerViewModel::clearSelection()
{
    m_selection.persisted.clear();
    m_selectedRows.reset();
    Q_EMIT persistedSelectionsChanged();
    setSelectedPlugins({});
    m_selection.clearBulkPane();
    Q_EMIT bulkActiveVariantsChanged();
    Q_EMIT consolidatedBulkPluginsChanged();
}

void PluginManagerViewModel::invertSelection()
{
    const QSet<QUuid> matching =
        m_database.getAllFilteredPluginIds(m_searchText, m_selectedFormats, m_selectedManufacturers);
    QSet<QUuid> all = m_database.getAllFilteredPluginIds(QString(), {}, {});
    m_selection.persisted = all.subtract(matching);
    m_selectedRows.reset();
    Q_EMIT persistedSelectionsChanged();
    setSelectedPlugins({});
    refreshBulkPane();
}

void PluginManagerViewModel::deselectWhere(const std::function<bool(const AudioPlugin&)>& matches)
{
    for (const AudioPlugin& plugin : allSelectedPluginObjects()) {
        if (!matches(plugin))
            continue;
        m_selection.persisted.remove(plugin.id);
        m_selectedRows.reset();
        Q_EMIT persistedSelectionsChanged();
        QSet<QUuid> visible = m_selection.visible;
        visible.remove(plugin.id);
        setSelectedPlugins(visible);
    }
    refreshBulkPane();
}

void PluginManagerViewModel::removeWavesPluginsFromSelection()
{
    deselectWhere([](const AudioPlugin& plugin) { return plugin.name.toLower().contains(QLatin1String("waveshell")); });
}

void PluginManagerViewModel::deselectPluginsByName(const QString& name)
{
    deselectWhere([&name](const AudioPlugin& plugin) { return plugin.name == name; });
}

void PluginManagerViewModel::refreshBulkPane()
{
    // Every variant is active again after a rebuild.
    m_selection.rebuildBulkPane(allSelectedPluginObjects());
    Q_EMIT bulkActiveVariantsChanged();
    Q_EMIT consolidatedBulkPluginsChanged();
}

void PluginManagerViewModel::toggleBulkVariant(const QUuid& id)
{
    m_selection.toggleVariant(id);
    Q_EMIT bulkActiveVariantsChanged();
}

QList<PluginFormat> PluginManagerViewModel::selectedFormatsInBulk() const
{
    return m_selection.formats();
}

bool PluginManagerViewModel::isFormatFullyActive(PluginFormat format) const
{
    return m_selection.isFormatFullyActive(format);
}

bool PluginManagerViewModel::isFormatPartiallyActive(PluginFormat format) const
{
    return m_selection.isFormatPartiallyActive(format);
}

void PluginManagerViewModel::toggleBulkFormat(PluginFormat format)
{
    if (m_selection.toggleFormat(format))
        Q_EMIT bulkActiveVariantsChanged();
}

QList<AudioPlugin> PluginManagerViewModel::bulkActionPlugins() const
{
    return m_selection.actionPlugins(allSelectedPluginObjects());
}

void PluginManagerViewModel::updateCachedTransfer()
{
    if (!m_selection.persisted.isEmpty()) {
        PluginKeyTransfer transfer;
        for (const AudioPlugin& plugin : allSelectedPluginObjects())
            transfer.keys.append(plugin.key());
        m_cachedPluginKeysTransfer = transfer;
        Q_EMIT cachedPluginKeysTransferChanged();
        return;
    }
    // Leave an already empty payload alone so observers see no change.
    if (!m_cachedPluginKeysTransfer.keys.isEmpty()) {
        m_cachedPluginKeysTransfer = PluginKeyTransfer{};
        Q_EMIT cachedPluginKeysTransferChanged();
    }
}

void PluginManagerViewModel::refreshProfileChanges()
{
    QList<AudioPlugin> changes;
    if (m_activeProfile) {
        const QSet<QString> enabled = ProfileManager::enabledKeys(m_plugins);
        for (const AudioPlugin& plugin : std::as_const(m_plugins)) {
            if (ProfileManager::differsFromProfile(*m_activeProfile, plugin, enabled))
                changes.append(plugin);
        }
    }
    m_cachedProfileChanges = changes;
    Q_EMIT cachedProfileChangesChanged();
}

QList<AudioPlugin> PluginManagerViewModel::filteredPlugins() const
{
    if (!m_activeProfile)
        return m_displayedPlugins;
    if (m_profileViewFilter == kChanges)
        return m_cachedProfileChanges;
    const bool enabledView = m_profileViewFilter == QLatin1String("enabled");
    const bool disabledView = m_profileViewFilter == QLatin1String("disabled");
    if (!enabledView && !disabledView)
        return m_displayedPlugins;
    QList<AudioPlugin> result;
    for (const AudioPlugin& plugin : m_displayedPlugins) {
        const bool inProfile = m_activeProfile->enabledPlugins.contains(plugin.key());
        if (enabledView && inProfile && plugin.isEnabled)
            result.append(plugin);
        else if (disabledView && !inProfile && !plugin.isEnabled)
            result.append(plugin);
    }
    return result;
}

// --- Operations ---

QList<AudioPlugin> PluginManagerViewModel::allWavesPluginsMatchingName(const QString& name) const
{
    QList<AudioPlugin> family;
    for (const AudioPlugin& plugin : m_plugins) {
        if (plugin.format == PluginFormat::wavesBundle && plugin.name == name)
            family.append(plugin);
    }
    return family;
}

bool PluginManagerViewModel::selectionContainsWavesBundleToDisable() const
{
    const QList<AudioPlugin> plugins = bulkActionPlugins();
    return std::any_of(plugins.begin(), plugins.end(), [](const AudioPlugin& plugin) {
        return plugin.format == PluginFormat::wavesBundle && plugin.isEnabled;
    });
}

// A copy on purpose: the caller's row may live in the lists this call rewrites.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void PluginManagerViewModel::togglePlugin(AudioPlugin plugin)
{
    if (!beginOperation())
        return;
    const OperationScope scope([this] { setOperationRunning(false); });
    if (plugin.format == PluginFormat::wavesBundle) {
        const QList<AudioPlugin> family = allWavesPluginsMatchingName(plugin.name);
        if (family.size() >= 2) {
            publishOutcome(m_mover.switchMany(family));
            return;
        }
    }
    publishOutcome(m_mover.switchOne(plugin));
}

void PluginManagerViewModel::toggleMultiplePlugins(QList<AudioPlugin> plugins)
{
    if (!beginOperation())
        return;
    const OperationScope scope([this] { setOperationRunning(false); });
    publishOutcome(m_mover.switchMany(plugins));
}

void PluginManagerViewModel::deletePlugins(QList<AudioPlugin> plugins)
{
    if (!beginOperation())
        return;
    const OperationScope scope([this] { setOperationRunning(false); });
    publishOutcome(m_mover.remove(plugins));
}

void PluginManagerViewModel::publishOutcome(const MoveOutcome& outcome)
{
    if (!outcome.deleted.isEmpty()) {
        m_selectedRows.reset();
        const QSet<QUuid> ids = idsOf(outcome.deleted);
        QSet<QUuid> visible = m_selection.visible;
        visible.subtract(ids);
        m_selection.visible = visible;
        Q_EMIT selectedPluginsChanged();
        updateCachedTransfer();
        m_selection.persisted.subtract(ids);
        Q_EMIT persistedSelectionsChanged();
    }
    if (outcome.reload) {
        // Only what the operation changed is read again.
        if (!outcome.deleted.isEmpty()) {
            reloadAfterDelete(idsOf(outcome.deleted));
        } else {
            reloadChangedRows(idsOf(outcome.enabled) + idsOf(outcome.disabled));
        }
    }
    // Once this operation has ended, the rows follow the disk again. Queued before the error
    // is published, so the window's alert can wait for the scan and report both at once.
    if (outcome.rescan)
        QTimer::singleShot(0, this, [this] { scanForPlugins(); });
    if (outcome.error)
        setError(outcome.error);
}
