#include "PluginManagerViewModel.h"

#include "BatchScript.h"
#include "DisabledLayout.h"
#include "DisabledOrigins.h"
#include "ProgressWindowManager.h"

#include "ActivityLogManager.h"
#include "PluginDatabase.h"
#include "PluginScanner.h"
#include "ProfileManager.h"

#include "Platform/DefaultsStore.h"
#include "Platform/Diagnostics.h"
#include "Platform/NotificationCenter.h"
#include "Platform/Paths.h"
#include "Platform/PrivilegedRunner.h"
#include "Platform/ProcessLauncher.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

constexpr qint64 kAllRowsLimit = 100000;
constexpr int kSearchDelayMs = 50;
constexpr int kProgressPollMs = 80;
constexpr qsizetype kPanelThreshold = 51;
constexpr qsizetype kMaxNamedFailures = 20;

const QString kEnabledCountKey = QStringLiteral("enabledPluginCount");
const QString kChanges = QStringLiteral("changes");

// Name order of the bulk pane and bulk actions: case-insensitive, locale-aware, stable.
void sortByNameOrder(QList<AudioPlugin>& plugins)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(plugins.begin(), plugins.end(), [&collator](const AudioPlugin& a, const AudioPlugin& b) {
        return collator.compare(a.name, b.name) < 0;
    });
}

QString describePlugin(const AudioPlugin& plugin)
{
    return QStringLiteral("\"%1\" (%2)").arg(plugin.name, PluginFormats::rawValue(plugin.format));
}

// Absolute, without "." or ".." steps and not the root itself: the only kind of path
// that is ever handed to a root shell.
bool isCleanAbsolutePath(const QString& path)
{
    return path.startsWith(u'/') && path.size() > 1 && QDir::cleanPath(path) == path;
}

// A catalogued bundle path: clean, absolute and carrying its format's bundle extension.
bool isBundlePath(const AudioPlugin& plugin)
{
    if (!isCleanAbsolutePath(plugin.currentPath))
        return false;
    const QString extension = DisabledLayout::splitFileName(DisabledLayout::fileName(plugin.currentPath)).extension;
    return PluginFormats::fileExtensions(plugin.format).contains(extension);
}

QList<std::pair<QString, QString>> logPairs(const QList<AudioPlugin>& plugins)
{
    QList<std::pair<QString, QString>> pairs;
    pairs.reserve(plugins.size());
    for (const AudioPlugin& plugin : plugins)
        pairs.append({plugin.name, PluginFormats::rawValue(plugin.format)});
    return pairs;
}

// A moved bundle: something sits at the destination and nothing at the source any more.
bool verifyMoved(const QString& source, const QString& destination)
{
    return DisabledLayout::pathExists(destination) && !DisabledLayout::pathExists(source);
}

} // namespace

PluginManagerViewModel::PluginManagerViewModel(QObject* parent)
    : PluginManagerViewModel(PluginDatabase::shared(), ActivityLogManager::shared(), Platform::services(), parent)
{
}

PluginManagerViewModel::PluginManagerViewModel(PluginDatabase& database, ActivityLogManager& activityLog,
                                               PlatformServices services, QObject* parent)
    : QObject(parent), m_database(database), m_activityLog(activityLog), m_services(std::move(services)),
      m_scanner(new PluginScanner(this)), m_progressPoll(new QTimer(this))
{
    m_progressPoll->setInterval(kProgressPollMs);
    connect(m_progressPoll, &QTimer::timeout, this, &PluginManagerViewModel::pollProgress);
    // Nothing is created on disk here; the first page and counts of the existing catalogue come first.
    refreshFromDatabase();
}

PluginManagerViewModel::~PluginManagerViewModel() = default;

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
    m_selectedPlugins = ids;
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

bool PluginManagerViewModel::beginOperation()
{
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
    return m_database.queryPlugins(m_searchText, m_selectedFormats, m_selectedManufacturers, keys, column, ascending,
                                   limit, offset);
}

void PluginManagerViewModel::scanForPlugins()
{
    if (!beginOperation())
        return;
    const OperationScope scope([this] { setOperationRunning(false); });

    m_isLoading = true;
    Q_EMIT isLoadingChanged();
    setError(std::nullopt);

    const QSet<QString> existingKeys = m_database.getAllPluginKeys();
    m_scanner->scanAllPlugins();

    // The folder alone cannot tell where a free-named or user-folder bundle came from.
    DisabledOrigins origins;
    QList<AudioPlugin> found = origins.apply(m_scanner->discoveredPlugins());
    origins.saveIfChanged();

    setPlugins(std::move(found));
    m_database.replaceAllPlugins(m_plugins);
    setAllManufacturers(m_database.getDistinctManufacturers());
    refreshFromDatabase();
    m_isLoading = false;
    Q_EMIT isLoadingChanged();

    Diagnostics::print(QStringLiteral("🔍 Scan debug: existingKeys.count = ") + QString::number(existingKeys.size()));
    Diagnostics::print(QStringLiteral("🔍 Scan debug: plugins.count = ") + QString::number(m_plugins.size()));
    if (existingKeys.isEmpty()) {
        Diagnostics::print(QStringLiteral("⚠️ Scan debug: existingKeys.isEmpty, skipping new plugin detection"));
    } else {
        QList<AudioPlugin> fresh;
        for (const AudioPlugin& plugin : std::as_const(m_plugins)) {
            if (existingKeys.contains(plugin.key()))
                continue;
            Diagnostics::print(QStringLiteral("🆕 New plugin detected: ") + plugin.name + QStringLiteral(" (") +
                               PluginFormats::rawValue(plugin.format) + u')');
            fresh.append(plugin);
        }
        m_newlyDetectedPlugins = fresh;
        Q_EMIT newlyDetectedPluginsChanged();
        Diagnostics::print(QStringLiteral("🔍 Scan debug: newlyDetectedPlugins.count = ") +
                           QString::number(m_newlyDetectedPlugins.size()));
    }
    if (m_scanner->scanError())
        setError(m_scanner->scanError());
}

void PluginManagerViewModel::refreshFromDatabase()
{
    m_currentOffset = 0;
    m_displayedPlugins = queryCurrentFilters(pageSize, 0);
    Q_EMIT displayedPluginsChanged();

    if (!m_persistedSelections.isEmpty()) {
        QSet<QUuid> visible;
        for (const AudioPlugin& plugin : std::as_const(m_displayedPlugins)) {
            if (m_persistedSelections.contains(plugin.id))
                visible.insert(plugin.id);
        }
        setSelectedPlugins(visible);
    }

    const QSet<QString> keys = m_activeFavoritesList ? m_activeFavoritesList->pluginKeys : QSet<QString>{};
    m_totalPluginCount = m_database.totalCount(m_searchText, m_selectedFormats, m_selectedManufacturers, keys);
    m_hasMorePages = m_displayedPlugins.size() < m_totalPluginCount;
    m_dbEnabledCount = m_database.totalEnabledCount();
    m_dbDisabledCount = m_database.totalDisabledCount();
    m_dbTotalCount = m_dbEnabledCount + m_dbDisabledCount;
    Q_EMIT countsChanged();
    announceEnabledCount();
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

QHash<PluginFormat, qint64> PluginManagerViewModel::pluginCounts() const
{
    QHash<PluginFormat, qint64> counts;
    for (const PluginFormat format : PluginFormats::allCases)
        counts.insert(format, m_database.totalCount(QString(), {format}, {}, {}));
    return counts;
}

void PluginManagerViewModel::refreshAllState()
{
    setPlugins(m_database.queryPlugins(QString(), {}, {}, {}, QStringLiteral("name"), true, kAllRowsLimit, 0));
    setAllManufacturers(m_database.getDistinctManufacturers());
    QSet<QString> stillThere;
    for (const QString& manufacturer : std::as_const(m_selectedManufacturers)) {
        if (m_allManufacturers.contains(manufacturer))
            stillThere.insert(manufacturer);
    }
    setSelectedManufacturers(stillThere);
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

QList<AudioPlugin> PluginManagerViewModel::selectedRows() const
{
    if (m_persistedSelections.isEmpty())
        return {};
    return m_database.getPluginsByIds(m_persistedSelections);
}

void PluginManagerViewModel::syncSelectionDelta(const QSet<QUuid>& added, const QSet<QUuid>& removed)
{
    if (added.isEmpty() && removed.isEmpty())
        return;
    // Rows leaving the table's selection (also by paging or filtering) stay selected.
    m_persistedSelections.unite(added);
    Q_EMIT persistedSelectionsChanged();
    refreshBulkPane();
    updateCachedTransfer();
}

void PluginManagerViewModel::clearSelection()
{
    m_persistedSelections.clear();
    Q_EMIT persistedSelectionsChanged();
    setSelectedPlugins({});
    m_bulkActiveVariants.clear();
    Q_EMIT bulkActiveVariantsChanged();
    m_consolidatedBulkPlugins.clear();
    Q_EMIT consolidatedBulkPluginsChanged();
}

void PluginManagerViewModel::invertSelection()
{
    const QSet<QUuid> matching = m_database.getAllFilteredPluginIds(m_searchText, m_selectedFormats,
                                                                     m_selectedManufacturers);
    QSet<QUuid> all = m_database.getAllFilteredPluginIds(QString(), {}, {});
    m_persistedSelections = all.subtract(matching);
    Q_EMIT persistedSelectionsChanged();
    setSelectedPlugins({});
    refreshBulkPane();
}

void PluginManagerViewModel::removeWavesPluginsFromSelection()
{
    for (const AudioPlugin& plugin : selectedRows()) {
        if (!plugin.name.toLower().contains(QLatin1String("waveshell")))
            continue;
        m_persistedSelections.remove(plugin.id);
        Q_EMIT persistedSelectionsChanged();
        QSet<QUuid> visible = m_selectedPlugins;
        visible.remove(plugin.id);
        setSelectedPlugins(visible);
    }
    refreshBulkPane();
}

void PluginManagerViewModel::deselectPluginsByName(const QString& name)
{
    for (const AudioPlugin& plugin : selectedRows()) {
        if (plugin.name != name)
            continue;
        m_persistedSelections.remove(plugin.id);
        Q_EMIT persistedSelectionsChanged();
        QSet<QUuid> visible = m_selectedPlugins;
        visible.remove(plugin.id);
        setSelectedPlugins(visible);
    }
    refreshBulkPane();
}

void PluginManagerViewModel::refreshBulkPane()
{
    QList<AudioPlugin> rows = selectedRows();
    sortByNameOrder(rows);

    QList<ConsolidatedPlugin> consolidated;
    QHash<QString, qsizetype> groupOfName;
    for (const AudioPlugin& plugin : std::as_const(rows)) {
        auto it = groupOfName.constFind(plugin.name);
        if (it == groupOfName.constEnd()) {
            it = groupOfName.insert(plugin.name, consolidated.size());
            consolidated.append(ConsolidatedPlugin{plugin.name, {}});
        }
        consolidated[*it].variants.append(
            ConsolidatedPlugin::FormatVariant{plugin.id, plugin.format, plugin.isEnabled, plugin.version});
    }
    QSet<QUuid> active;
    for (ConsolidatedPlugin& row : consolidated) {
        std::stable_sort(row.variants.begin(), row.variants.end(),
                         [](const ConsolidatedPlugin::FormatVariant& a, const ConsolidatedPlugin::FormatVariant& b) {
                             return a.badgeLabel() < b.badgeLabel();
                         });
        for (const auto& variant : std::as_const(row.variants))
            active.insert(variant.id);
    }
    // Every variant is active again after a rebuild.
    m_bulkActiveVariants = active;
    Q_EMIT bulkActiveVariantsChanged();
    m_consolidatedBulkPlugins = consolidated;
    Q_EMIT consolidatedBulkPluginsChanged();
}

void PluginManagerViewModel::toggleBulkVariant(const QUuid& id)
{
    if (!m_bulkActiveVariants.remove(id))
        m_bulkActiveVariants.insert(id);
    Q_EMIT bulkActiveVariantsChanged();
}

QList<PluginFormat> PluginManagerViewModel::selectedFormatsInBulk() const
{
    QList<PluginFormat> formats;
    for (const ConsolidatedPlugin& row : m_consolidatedBulkPlugins) {
        for (const auto& variant : row.variants) {
            if (!formats.contains(variant.format))
                formats.append(variant.format);
        }
    }
    std::sort(formats.begin(), formats.end(), PluginFormats::rawValueLess);
    return formats;
}

namespace {
QList<QUuid> variantIdsOfFormat(const QList<ConsolidatedPlugin>& rows, PluginFormat format)
{
    QList<QUuid> ids;
    for (const ConsolidatedPlugin& row : rows) {
        for (const auto& variant : row.variants) {
            if (variant.format == format)
                ids.append(variant.id);
        }
    }
    return ids;
}
} // namespace

bool PluginManagerViewModel::isFormatFullyActive(PluginFormat format) const
{
    const QList<QUuid> ids = variantIdsOfFormat(m_consolidatedBulkPlugins, format);
    if (ids.isEmpty())
        return false;
    return std::all_of(ids.begin(), ids.end(), [this](const QUuid& id) { return m_bulkActiveVariants.contains(id); });
}

bool PluginManagerViewModel::isFormatPartiallyActive(PluginFormat format) const
{
    const QList<QUuid> ids = variantIdsOfFormat(m_consolidatedBulkPlugins, format);
    const auto active =
        std::count_if(ids.begin(), ids.end(), [this](const QUuid& id) { return m_bulkActiveVariants.contains(id); });
    return active > 0 && active < ids.size();
}

void PluginManagerViewModel::toggleBulkFormat(PluginFormat format)
{
    const QList<QUuid> ids = variantIdsOfFormat(m_consolidatedBulkPlugins, format);
    if (ids.isEmpty())
        return;
    const bool deactivate = isFormatFullyActive(format);
    for (const QUuid& id : ids) {
        if (deactivate)
            m_bulkActiveVariants.remove(id);
        else
            m_bulkActiveVariants.insert(id);
    }
    Q_EMIT bulkActiveVariantsChanged();
}

QList<AudioPlugin> PluginManagerViewModel::bulkActionPlugins() const
{
    QList<AudioPlugin> result;
    for (const AudioPlugin& plugin : selectedRows()) {
        if (m_bulkActiveVariants.contains(plugin.id))
            result.append(plugin);
    }
    sortByNameOrder(result);
    return result;
}

QList<AudioPlugin> PluginManagerViewModel::allSelectedPluginObjects() const
{
    return selectedRows();
}

void PluginManagerViewModel::updateCachedTransfer()
{
    if (!m_persistedSelections.isEmpty()) {
        PluginKeyTransfer transfer;
        for (const AudioPlugin& plugin : selectedRows())
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
            switchBatch(family);
            return;
        }
    }
    switchSingle(plugin);
}

void PluginManagerViewModel::toggleMultiplePlugins(QList<AudioPlugin> plugins)
{
    if (!beginOperation())
        return;
    const OperationScope scope([this] { setOperationRunning(false); });
    switchBatch(plugins);
}

void PluginManagerViewModel::deletePlugins(QList<AudioPlugin> plugins)
{
    if (!beginOperation())
        return;
    const OperationScope scope([this] { setOperationRunning(false); });
    removeBundles(plugins);
}

void PluginManagerViewModel::switchSingle(const AudioPlugin& plugin)
{
    const bool disable = plugin.isEnabled;
    const QString source = plugin.currentPath;
    if (!isCleanAbsolutePath(source)) {
        setError(PluginError::invalidPath(source));
        return;
    }
    if (!DisabledLayout::pathExists(source)) {
        setError(PluginError::fileNotFound(source));
        return;
    }
    const QString destination = disable ? DisabledLayout::disableDestination(plugin) : plugin.originalPath;
    if (!isCleanAbsolutePath(destination)) {
        setError(PluginError::invalidPath(destination));
        return;
    }
    if (!disable && DisabledLayout::pathExists(destination)) {
        // Moving onto an occupant would nest the bundle inside it (or, plainly, replace it).
        setError(PluginError::invalidPath(
            QStringLiteral("an item already exists at %1, so %2 was not enabled and nothing was changed")
                .arg(destination, describePlugin(plugin))));
        return;
    }

    const DisabledLayout::Road road = DisabledLayout::roadFor(plugin);
    std::optional<PluginError> runError;
    if (road.privileged) {
        const QString command = DisabledLayout::privilegedMoveCommand(source, destination, disable, road.clearAUCache);
        const PrivilegedRunner::Result result = m_services.privilegedRunner
                                                    ? m_services.privilegedRunner->run(command)
                                                    : PrivilegedRunner::Result{};
        if (!result.started)
            runError = PluginError::unknownError(QStringLiteral("Failed to execute AppleScript"));
        else if (!result.succeeded)
            runError = PluginError::permissionDenied(result.errorMessage);
    } else {
        const QString reason = DisabledLayout::moveItem(source, destination);
        if (!reason.isEmpty())
            runError = PluginError::unknownError(reason);
    }

    // The command's exit status is not proof (the cache purge ends in "; true"): the disk is.
    if (!verifyMoved(source, destination)) {
        setError(runError ? *runError
                          : PluginError::unknownError(QStringLiteral("%1 was not moved: it is still at %2")
                                                          .arg(describePlugin(plugin), source)));
        return;
    }

    AudioPlugin updated = plugin;
    updated.currentPath = destination;
    updated.isEnabled = !disable;
    m_database.updatePlugin(updated);
    DisabledOrigins origins;
    if (disable)
        origins.record(destination, plugin.originalPath);
    else
        origins.forget(source);
    origins.saveIfChanged();
    refreshAllState();
    m_activityLog.log(plugin.name, PluginFormats::rawValue(plugin.format),
                      disable ? ActivityLogEntry::Action::disabled : ActivityLogEntry::Action::enabled);
    if (plugin.format == PluginFormat::wavesBundle && !disable)
        runWavesAURegUtilities();
}

// Plans, runs and verifies one batch in one pass; it splits up when the moves leave the view model.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void PluginManagerViewModel::switchBatch(const QList<AudioPlugin>& plugins)
{
    const qsizetype total = plugins.size();
    const bool showPanel = total >= kPanelThreshold;
    ProgressWindowManager& panel = ProgressWindowManager::shared();
    if (showPanel) {
        qsizetype toEnable = 0;
        for (const AudioPlugin& plugin : plugins)
            toEnable += plugin.isEnabled ? 0 : 1;
        const qsizetype toDisable = total - toEnable;
        QString label;
        if (toEnable > 0 && toDisable > 0)
            label = QStringLiteral("Applying changes to %1 plugins…").arg(total);
        else if (toEnable > 0)
            label = QStringLiteral("Enabling %1 plugins…").arg(toEnable);
        else
            label = QStringLiteral("Disabling %1 plugins…").arg(toDisable);
        panel.show(label, static_cast<int>(total));
    }

    // Plan every move. Destinations planned earlier in this batch count as taken, and
    // anything that cannot move safely is left out of the script and reported.
    QList<PlannedMove> moves;
    QList<Failure> failures;
    QSet<QString> reserved;
    QSet<QString> sources;
    moves.reserve(total);
    for (const AudioPlugin& plugin : plugins) {
        const QString source = plugin.currentPath;
        if (!isCleanAbsolutePath(source)) {
            failures.append({plugin, QStringLiteral("its path is not usable: %1").arg(source)});
            continue;
        }
        if (sources.contains(source)) {
            failures.append({plugin, QStringLiteral("listed more than once")});
            continue;
        }
        if (!DisabledLayout::pathExists(source)) {
            failures.append({plugin, QStringLiteral("not found at %1").arg(source)});
            continue;
        }
        QString destination;
        if (plugin.isEnabled) {
            destination = DisabledLayout::disableDestination(plugin, &reserved);
        } else {
            destination = plugin.originalPath;
            if (DisabledLayout::pathExists(destination) || reserved.contains(destination)) {
                failures.append({plugin, QStringLiteral("an item already exists at %1").arg(destination)});
                continue;
            }
            reserved.insert(destination);
        }
        if (!isCleanAbsolutePath(destination)) {
            failures.append({plugin, QStringLiteral("its destination is not usable: %1").arg(destination)});
            continue;
        }
        sources.insert(source);
        moves.append({plugin, source, destination});
    }

    const qsizetype refusedBeforeRun = failures.size();
    std::optional<PluginError> runError;
    // An empty request still runs its (two-line) script; a request whose every item was
    // refused asks for no password at all.
    if (!moves.isEmpty() || total == 0) {
        const QUuid runId = QUuid::createUuid();
        const QString scriptFile = BatchScript::scriptPath(runId);
        const QString progressFile = BatchScript::progressPath(runId);
        QList<BatchScript::Move> scriptMoves;
        scriptMoves.reserve(moves.size());
        for (const PlannedMove& move : std::as_const(moves))
            scriptMoves.append({move.source, move.destination});

        QString writeError = BatchScript::writePrivateFile(progressFile, QByteArrayLiteral("0"));
        if (writeError.isEmpty())
            writeError = BatchScript::writePrivateFile(
                scriptFile, BatchScript::scriptText(scriptMoves, progressFile).toUtf8());
        if (!writeError.isEmpty()) {
            runError = PluginError::unknownError(writeError);
        } else {
            m_progressFile = progressFile;
            m_progressCount = moves.size();
            m_progressPoll->start();
            const PrivilegedRunner::Result result = m_services.privilegedRunner
                                                        ? m_services.privilegedRunner->run(
                                                              BatchScript::runCommand(scriptFile))
                                                        : PrivilegedRunner::Result{};
            m_progressPoll->stop();
            m_progressFile.clear();
            if (!result.started)
                runError = PluginError::unknownError(QStringLiteral("Failed to execute AppleScript"));
            else if (!result.succeeded)
                runError = PluginError::permissionDenied(
                    result.errorMessage.isEmpty() ? QStringLiteral("AppleScript error") : result.errorMessage);
        }
        QFile::remove(scriptFile);
        QFile::remove(progressFile);
    }

    // A failing mv inside the script does not fail the run: each item is judged on disk.
    QList<AudioPlugin> enabledNow;
    QList<AudioPlugin> disabledNow;
    bool wavesEnabled = false;
    DisabledOrigins origins;
    for (const PlannedMove& move : std::as_const(moves)) {
        if (!verifyMoved(move.source, move.destination)) {
            failures.append({move.plugin, QStringLiteral("not moved; it is still at %1").arg(move.source)});
            continue;
        }
        AudioPlugin updated = move.plugin;
        updated.currentPath = move.destination;
        updated.isEnabled = !move.plugin.isEnabled;
        m_database.updatePlugin(updated);
        if (move.plugin.isEnabled) {
            origins.record(move.destination, move.plugin.originalPath);
            disabledNow.append(move.plugin);
        } else {
            origins.forget(move.source);
            enabledNow.append(move.plugin);
            wavesEnabled = wavesEnabled || move.plugin.format == PluginFormat::wavesBundle;
        }
    }
    origins.saveIfChanged();

    const bool anyMoved = !enabledNow.isEmpty() || !disabledNow.isEmpty();
    if (anyMoved || (!runError && failures.isEmpty()))
        refreshAllState();
    // The log follows the input order: first every enabled plug-in, then every disabled one.
    if (!enabledNow.isEmpty())
        m_activityLog.logBatch(logPairs(enabledNow), ActivityLogEntry::Action::enabled);
    if (!disabledNow.isEmpty())
        m_activityLog.logBatch(logPairs(disabledNow), ActivityLogEntry::Action::disabled);
    if (wavesEnabled)
        runWavesAURegUtilities();
    if (showPanel)
        panel.hide();

    if (runError) {
        // After a refused prompt nothing moved, as expected; list names only when the
        // outcome was mixed or some items were refused before the run.
        if ((anyMoved || refusedBeforeRun > 0) && !failures.isEmpty())
            runError->detail += QStringLiteral("\n\n") + describeFailures(failures, total);
        setError(runError);
    } else if (!failures.isEmpty()) {
        setError(PluginError::unknownError(describeFailures(failures, total)));
    }
}

void PluginManagerViewModel::removeBundles(const QList<AudioPlugin>& plugins)
{
    QList<AudioPlugin> targets;
    QList<Failure> failures;
    QStringList paths;
    for (const AudioPlugin& plugin : plugins) {
        // rm -rf runs as root: only a clean path of a bundle of the plug-in's own format.
        if (!isBundlePath(plugin)) {
            failures.append({plugin, QStringLiteral("its path is not a plug-in bundle: %1").arg(plugin.currentPath)});
            continue;
        }
        targets.append(plugin);
        paths.append(plugin.currentPath);
    }

    const qsizetype refusedBeforeRun = failures.size();
    std::optional<PluginError> runError;
    if (!targets.isEmpty() || plugins.isEmpty()) {
        const PrivilegedRunner::Result result = m_services.privilegedRunner
                                                    ? m_services.privilegedRunner->run(
                                                          BatchScript::deleteCommand(paths))
                                                    : PrivilegedRunner::Result{};
        if (!result.started)
            runError = PluginError::unknownError(QStringLiteral("Failed to delete plugins"));
        else if (!result.succeeded)
            runError = PluginError::permissionDenied(result.errorMessage);
    }

    QList<AudioPlugin> deleted;
    QSet<QUuid> ids;
    DisabledOrigins origins;
    for (const AudioPlugin& plugin : std::as_const(targets)) {
        if (DisabledLayout::pathExists(plugin.currentPath)) {
            failures.append({plugin, QStringLiteral("still present at %1").arg(plugin.currentPath)});
            continue;
        }
        m_database.deletePlugin(plugin.id);
        origins.forget(plugin.currentPath);
        deleted.append(plugin);
        ids.insert(plugin.id);
    }
    origins.saveIfChanged();

    // An empty request refreshes and logs (an empty batch) only when its run succeeded.
    if (!deleted.isEmpty() || (plugins.isEmpty() && !runError)) {
        QSet<QUuid> visible = m_selectedPlugins;
        visible.subtract(ids);
        m_selectedPlugins = visible;
        Q_EMIT selectedPluginsChanged();
        updateCachedTransfer();
        m_persistedSelections.subtract(ids);
        Q_EMIT persistedSelectionsChanged();
        refreshAllState();
        m_activityLog.logBatch(logPairs(deleted), ActivityLogEntry::Action::deleted);
    }

    if (runError) {
        if ((!deleted.isEmpty() || refusedBeforeRun > 0) && !failures.isEmpty())
            runError->detail += QStringLiteral("\n\n") + describeFailures(failures, plugins.size());
        setError(runError);
    } else if (!failures.isEmpty()) {
        setError(PluginError::unknownError(describeFailures(failures, plugins.size())));
    }
}

QString PluginManagerViewModel::describeFailures(const QList<Failure>& failures, qsizetype total)
{
    if (failures.size() == 1 && total <= 1)
        return QStringLiteral("%1 was not changed: %2").arg(describePlugin(failures.first().plugin),
                                                             failures.first().reason);
    QStringList lines;
    lines.append(QStringLiteral("%1 of %2 plug-ins were not changed:").arg(failures.size()).arg(total));
    for (qsizetype i = 0; i < failures.size() && i < kMaxNamedFailures; ++i)
        lines.append(describePlugin(failures[i].plugin) + QStringLiteral(": ") + failures[i].reason);
    if (failures.size() > kMaxNamedFailures)
        lines.append(QStringLiteral("…and %1 more").arg(failures.size() - kMaxNamedFailures));
    return lines.join(u'\n');
}

void PluginManagerViewModel::pollProgress()
{
    if (m_progressFile.isEmpty())
        return;
    QFile file(m_progressFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const std::optional<double> fraction = BatchScript::parseProgress(file.read(64), m_progressCount);
    if (fraction)
        ProgressWindowManager::shared().hudModel()->setProgress(*fraction);
}

void PluginManagerViewModel::runWavesAURegUtilities()
{
    if (!m_services.processLauncher)
        return;
    const QDir wavesFolder(Paths::system(QStringLiteral("/Applications/Waves")));
    if (!wavesFolder.exists())
        return;
    const QStringList shells = wavesFolder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& shell : shells) {
        if (!shell.startsWith(QLatin1String("WaveShells V")))
            continue;
        const QStringList entries =
            QDir(wavesFolder.filePath(shell)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& entry : entries) {
            if (entry.startsWith(QLatin1String("Waves AU Reg Utility")) &&
                DisabledLayout::splitFileName(entry).extension == QLatin1String("app")) {
                m_services.processLauncher->openApplication(wavesFolder.filePath(shell) + u'/' + entry,
                                                            {QStringLiteral("--silent")});
                break;
            }
        }
    }
}
