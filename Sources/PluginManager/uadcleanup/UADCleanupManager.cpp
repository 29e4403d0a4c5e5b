#include "uadcleanup/UADCleanupManager.h"

#include "Platform/Diagnostics.h"
#include "Platform/Paths.h"
#include "Platform/UADControlPanel.h"
#include "catalogue/PluginDatabase.h"
#include "operations/PluginManagerViewModel.h"
#include "uadcleanup/UADNameMatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

// A system profile is a few hundred kilobytes; anything far larger is not one.
constexpr qint64 kMaxProfileBytes = qint64(32) * 1024 * 1024;

bool isUADRow(const AudioPlugin& plugin)
{
    return plugin.name.startsWith(QStringLiteral("UAD ")) ||
           plugin.manufacturer.toLower().contains(QStringLiteral("universal audio"));
}

template <typename Predicate>
QList<UADPluginAuth> filtered(const QList<UADPluginAuth>& entries, Predicate keep)
{
    QList<UADPluginAuth> result;
    for (const UADPluginAuth& entry : entries) {
        if (keep(entry))
            result.append(entry);
    }
    return result;
}

QString quotedName(const QString& path)
{
    return u'“' + QFileInfo(path).fileName() + u'”';
}

} // namespace

QString UADCleanupManager::manualSaveMessage()
{
    return QStringList{QStringLiteral("Please save the UAD System Profile manually:"),
                       QString(),
                       QStringLiteral("1. In the UAD Control Panel, press ⌘I"),
                       QStringLiteral("2. Click \"Save Detailed System Profile\" at the bottom-left"),
                       QStringLiteral("3. Save to your Desktop"),
                       QStringLiteral("4. Then try again")}
        .join(u'\n');
}

UADCleanupManager::UADCleanupManager(PluginDatabase& database, std::shared_ptr<UADControlPanel> panel, QObject* parent)
    : QObject(parent), m_panel(std::move(panel)), m_database(database)
{
    // One piece of matching at a time; a newer one only waits for the older to end.
    m_matching.setMaxThreadCount(1);
}

UADCleanupManager::~UADCleanupManager()
{
    // What the matching thread still posts is dropped with this object.
    m_matching.clear();
    m_matching.waitForDone();
}

// --- Published state ---

void UADCleanupManager::setShowCleanupSheet(bool show)
{
    if (m_showCleanupSheet == show)
        return;
    m_showCleanupSheet = show;
    Q_EMIT showCleanupSheetChanged();
}

void UADCleanupManager::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void UADCleanupManager::setErrorMessage(std::optional<QString> message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = std::move(message);
    Q_EMIT errorMessageChanged();
}

void UADCleanupManager::setCleanupComplete(bool complete)
{
    if (m_cleanupComplete == complete)
        return;
    m_cleanupComplete = complete;
    Q_EMIT cleanupCompleteChanged();
}

void UADCleanupManager::setDisabledCount(int count)
{
    if (m_disabledCount == count)
        return;
    m_disabledCount = count;
    Q_EMIT disabledCountChanged();
}

void UADCleanupManager::setDemoPlugins(QList<UADPluginAuth> entries)
{
    m_demoPlugins = std::move(entries);
    Q_EMIT demoPluginsChanged();
}

void UADCleanupManager::setAuthorizedPlugins(QList<UADPluginAuth> entries)
{
    m_authorizedPlugins = std::move(entries);
    Q_EMIT authorizedPluginsChanged();
}

QList<UADPluginAuth> UADCleanupManager::expiredPlugins() const
{
    return filtered(m_demoPlugins,
                    [](const UADPluginAuth& e) { return e.status.kind() == UADAuthStatus::Kind::expired; });
}

QList<UADPluginAuth> UADCleanupManager::activeDemoPlugins() const
{
    return filtered(m_demoPlugins, [](const UADPluginAuth& e) { return e.status.kind() == UADAuthStatus::Kind::demo; });
}

QList<UADPluginAuth> UADCleanupManager::notStartedPlugins() const
{
    return filtered(m_demoPlugins,
                    [](const UADPluginAuth& e) { return e.status.kind() == UADAuthStatus::Kind::demoNotStarted; });
}

int UADCleanupManager::alreadyDisabledCount() const
{
    return static_cast<int>(
        std::count_if(m_demoPlugins.cbegin(), m_demoPlugins.cend(), [](const auto& e) { return e.isAlreadyDisabled; }));
}

int UADCleanupManager::selectedCount() const
{
    return static_cast<int>(
        std::count_if(m_demoPlugins.cbegin(), m_demoPlugins.cend(), [](const auto& e) { return e.isSelected; }));
}

// --- Selection ---

void UADCleanupManager::toggleSelection(const UADPluginAuth& entry)
{
    for (UADPluginAuth& element : m_demoPlugins) {
        if (element.id == entry.id) {
            element.isSelected = !element.isSelected;
            Q_EMIT demoPluginsChanged();
            return;
        }
    }
}

void UADCleanupManager::selectAll()
{
    for (UADPluginAuth& element : m_demoPlugins) {
        if (!element.isAlreadyDisabled)
            element.isSelected = true;
    }
    Q_EMIT demoPluginsChanged();
}

void UADCleanupManager::deselectAll()
{
    for (UADPluginAuth& element : m_demoPlugins)
        element.isSelected = false;
    Q_EMIT demoPluginsChanged();
}

void UADCleanupManager::selectExpiredOnly()
{
    for (UADPluginAuth& element : m_demoPlugins)
        element.isSelected = element.status.kind() == UADAuthStatus::Kind::expired && !element.isAlreadyDisabled;
    Q_EMIT demoPluginsChanged();
}

// --- The run ---

QList<AudioPlugin> UADCleanupManager::catalogueRows() const
{
    // Every row: a catalogue larger than any fixed page must still be matched whole.
    return m_database.queryPlugins({.sortColumn = QStringLiteral("name"), .limit = -1});
}

int UADCleanupManager::beginWork()
{
    return ++m_work;
}

void UADCleanupManager::startCleanup()
{
    ++m_startCount;
    // Whole seconds: file systems stamp files from a coarser clock than ours.
    m_runStart = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    setShowCleanupSheet(true);
    setLoading(true);
    setErrorMessage(std::nullopt);
    setDemoPlugins({});
    setAuthorizedPlugins({});
    setCleanupComplete(false);
    setDisabledCount(0);
    Q_EMIT cleanupStarted();

    const int work = beginWork();
    QPointer<PluginManagerViewModel> viewModel = m_pluginManager;
    QTimer::singleShot(0, this, [this, work, viewModel] {
        if (!isCurrent(work))
            return;
        // The rescan makes every row's enabled state reflect where its bundle lies now.
        if (viewModel)
            rescanThen(*viewModel, [this, work] { exportAndParseProfile(work); });
        else
            exportAndParseProfile(work);
    });
}

void UADCleanupManager::rescanThen(PluginManagerViewModel& viewModel, std::function<void()> next)
{
    auto done = std::make_shared<bool>(false);
    auto connections = std::make_shared<QList<QMetaObject::Connection>>();
    auto finish = [this, done, connections, next = std::move(next)] {
        if (*done)
            return;
        *done = true;
        for (const auto& connection : std::as_const(*connections))
            disconnect(connection);
        QTimer::singleShot(0, this, next);
    };
    // The scan publishes its result later and then calls back (at once when it is refused);
    // a view model that goes away first ends the wait as well.
    connections->append(connect(&viewModel, &QObject::destroyed, this, finish));
    viewModel.scanForPlugins(finish);
}

std::optional<QString> UADCleanupManager::findProfileFile(const QString& folder,
                                                          const std::optional<QDateTime>& notBefore)
{
    const QDir dir(folder);
    if (!dir.exists() || !dir.isReadable())
        return std::nullopt;
    // Files only: no hidden ones, and no FIFOs, sockets or devices (QDir::System is left out).
    // The listing still keeps a symlink to a device, so each entry is asked again: what
    // cannot be read as a file must not hide a profile in a later folder.
    QFileInfoList candidates;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort)) {
        if (!info.fileName().contains(QStringLiteral("UADSystemProfile")) || !info.isFile())
            continue;
        if (info.suffix().toLower() != QStringLiteral("txt"))
            continue;
        if (notBefore && !(info.lastModified() >= *notBefore))
            continue;
        candidates.append(info);
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime da = a.lastModified();
        const QDateTime db = b.lastModified();
        if (!db.isValid())
            return da.isValid();
        return da.isValid() && da > db;
    });
    if (candidates.isEmpty())
        return std::nullopt;
    return candidates.first().absoluteFilePath();
}

std::optional<QString> UADCleanupManager::findProfileInUserFolders(const std::optional<QDateTime>& notBefore)
{
    for (const auto* folder : {"/Desktop", "/Downloads", "/Documents"}) {
        if (auto found = findProfileFile(Paths::user(QString::fromLatin1(folder)), notBefore))
            return found;
    }
    return std::nullopt;
}

std::pair<std::optional<QString>, QString> UADCleanupManager::readProfileText(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {std::nullopt, QStringLiteral("The file %1 is not a regular file.").arg(quotedName(path))};
    if (info.size() > kMaxProfileBytes)
        return {std::nullopt, QStringLiteral("The file %1 is too large to be a system profile.").arg(quotedName(path))};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt,
                QStringLiteral("The file %1 couldn’t be opened: %2").arg(quotedName(path), file.errorString())};
    const QByteArray bytes = file.read(kMaxProfileBytes + 1);
    if (bytes.size() > kMaxProfileBytes)
        return {std::nullopt, QStringLiteral("The file %1 is too large to be a system profile.").arg(quotedName(path))};
    // Stateless, so a sequence cut off at the end of the file is an error too, not held back.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return {
            std::nullopt,
            QStringLiteral("The file %1 couldn’t be opened because it isn’t valid UTF-8 text.").arg(quotedName(path))};
    return {std::move(text), QString()};
}

void UADCleanupManager::exportAndParseProfile(int work)
{
    if (!isCurrent(work))
        return;
    if (!m_panel || !m_panel->isInstalled()) {
        setErrorMessage(QString::fromUtf8(kNotInstalledMessage));
        setLoading(false);
        return;
    }
    const QString requestError = m_panel->requestExport();
    if (!requestError.isEmpty())
        Diagnostics::print(QStringLiteral("AppleScript error opening UAD: ") + requestError);

    // A profile saved before this run is not this export's: it may be out of date.
    const QDateTime notBefore = m_runStart;
    QTimer::singleShot(m_exportWait, this, [this, work, notBefore] {
        if (!isCurrent(work))
            return;
        const std::optional<QString> path = findProfileInUserFolders(notBefore);
        if (!path) {
            setErrorMessage(manualSaveMessage());
            setLoading(false);
            return;
        }
        readAndCrossReference(work, *path);
    });
}

void UADCleanupManager::retryWithExistingProfile()
{
    setLoading(true);
    setErrorMessage(std::nullopt);
    const int work = beginWork();
    QTimer::singleShot(0, this, [this, work] {
        if (!isCurrent(work))
            return;
        const std::optional<QString> path = findProfileInUserFolders();
        if (!path) {
            setErrorMessage(QString::fromUtf8(kNoProfileOnRetryMessage));
            setLoading(false);
            return;
        }
        readAndCrossReference(work, *path);
    });
}

void UADCleanupManager::runOffThread(int work, std::function<std::function<void()>()> job)
{
    m_matching.start([this, work, job = std::move(job)] {
        if (m_matchingHook)
            m_matchingHook();
        std::function<void()> publish = job();
        QMetaObject::invokeMethod(
            this,
            [this, work, publish = std::move(publish)] {
                if (isCurrent(work))
                    publish();
            },
            Qt::QueuedConnection);
    });
}

void UADCleanupManager::readAndCrossReference(int work, const QString& path)
{
    Diagnostics::print(QStringLiteral("📄 Reading UAD system profile: ") + path);
    // The catalogue is read here, where its connection lives; the file, the parse and the
    // matching are the matching thread's, while the sheet shows its loading state.
    runOffThread(work, [this, path, rows = catalogueRows()]() -> std::function<void()> {
        auto [text, failure] = readProfileText(path);
        if (!text) {
            return [this, failure = std::move(failure)] {
                setErrorMessage(QString::fromUtf8(kReadFailurePrefix) + failure);
                setLoading(false);
            };
        }
        auto lists = std::make_shared<CrossReference>(parseAndCrossReference(*text, UADNameMatcher(rows)));
        return [this, lists] {
            publishCrossReference(std::move(*lists));
            setLoading(false);
        };
    });
}

UADCleanupManager::CrossReference UADCleanupManager::parseAndCrossReference(const QString& text,
                                                                            const UADNameMatcher& catalogue)
{
    CrossReference lists;
    for (UADPluginAuth entry : UADProfileParser::parsePluginAuthorizations(text)) {
        if (entry.status.kind() == UADAuthStatus::Kind::authorized) {
            lists.authorized.append(entry);
            continue;
        }
        const QList<AudioPlugin> matched = catalogue.matches(entry.name);
        entry.isAlreadyDisabled = !matched.isEmpty() && std::none_of(matched.cbegin(), matched.cend(),
                                                                     [](const AudioPlugin& p) { return p.isEnabled; });
        entry.isSelected = !entry.isAlreadyDisabled;
        lists.demos.append(entry);
    }
    return lists;
}

void UADCleanupManager::publishCrossReference(CrossReference lists)
{
    setDemoPlugins(std::move(lists.demos));
    setAuthorizedPlugins(std::move(lists.authorized));

    if (!m_demoPlugins.isEmpty() && alreadyDisabledCount() == m_demoPlugins.size())
        setErrorMessage(QString::fromUtf8(kAllAlreadyDisabledMessage));
    else if (m_demoPlugins.isEmpty())
        setErrorMessage(QString::fromUtf8(kAllAuthorizedMessage));
}

// --- Disabling the selected demos ---

void UADCleanupManager::disableSelectedUADDemos(PluginManagerViewModel& viewModel)
{
    QSet<QString> names;
    for (const UADPluginAuth& entry : std::as_const(m_demoPlugins)) {
        if (entry.isSelected)
            names.insert(entry.name);
    }
    setLoading(true);
    const int work = beginWork();
    QPointer<PluginManagerViewModel> guard(&viewModel);
    QTimer::singleShot(0, this, [this, work, names, guard] {
        if (!isCurrent(work))
            return;
        const QList<AudioPlugin> rows = catalogueRows();
        // A catalogue without any UAD row is most likely stale: scan once before giving up.
        if (guard && std::none_of(rows.cbegin(), rows.cend(), isUADRow))
            rescanThen(*guard, [this, work, names, guard] { finishDisable(work, names, guard.data()); });
        else
            finishDisable(work, names, guard.data());
    });
}

void UADCleanupManager::finishDisable(int work, const QSet<QString>& names, PluginManagerViewModel* viewModel)
{
    if (!isCurrent(work))
        return;
    QPointer<PluginManagerViewModel> guard(viewModel);
    runOffThread(work, [this, names, guard, rows = catalogueRows()]() -> std::function<void()> {
        const UADNameMatcher catalogue(rows);
        QSet<QUuid> matchedIds;
        for (const QString& name : names) {
            for (const AudioPlugin& plugin : catalogue.matches(name))
                matchedIds.insert(plugin.id);
        }
        return [this, rows, matchedIds, guard] { disableMatched(rows, matchedIds, guard.data()); };
    });
}

void UADCleanupManager::disableMatched(const QList<AudioPlugin>& rows, const QSet<QUuid>& matchedIds,
                                       PluginManagerViewModel* viewModel)
{
    QList<AudioPlugin> toDisable;
    for (const AudioPlugin& plugin : rows) {
        if (plugin.isEnabled && matchedIds.contains(plugin.id))
            toDisable.append(plugin);
    }

    if (matchedIds.isEmpty()) {
        setLoading(false);
        const bool anyUAD = std::any_of(rows.cbegin(), rows.cend(), isUADRow);
        setErrorMessage(QString::fromUtf8(anyUAD ? kNotMatchedMessage : kNoUADPluginsMessage));
        return;
    }
    if (toDisable.isEmpty()) {
        setDisabledCount(static_cast<int>(matchedIds.size()));
        setCleanupComplete(true);
        setLoading(false);
        return;
    }
    if (!viewModel) {
        setLoading(false);
        setErrorMessage(QString::fromUtf8(kNothingDisabledMessage));
        return;
    }
    runDisableBatch(*viewModel, toDisable, matchedIds);
}

void UADCleanupManager::runDisableBatch(PluginManagerViewModel& viewModel, const QList<AudioPlugin>& toDisable,
                                        const QSet<QUuid>& matchedIds)
{
    // The view model keeps an earlier operation's error: only what this batch sets counts.
    std::optional<PluginError> error;
    const QMetaObject::Connection watch =
        connect(&viewModel, &PluginManagerViewModel::errorChanged, this, [&error, &viewModel] {
            if (viewModel.error())
                error = viewModel.error();
        });
    m_runningBatch = true;
    viewModel.toggleMultiplePlugins(toDisable);
    m_runningBatch = false;
    disconnect(watch);

    // The batch reports failures only through the view model: judge by the rows themselves.
    QSet<QUuid> batchIds;
    for (const AudioPlugin& plugin : toDisable)
        batchIds.insert(plugin.id);
    int disabledNow = 0;
    int disabledByBatch = 0;
    for (const AudioPlugin& plugin : m_database.getPluginsByIds(matchedIds)) {
        if (plugin.isEnabled)
            continue;
        ++disabledNow;
        disabledByBatch += batchIds.contains(plugin.id) ? 1 : 0;
    }

    if (error || disabledByBatch == 0) {
        setLoading(false);
        setErrorMessage(error ? error->errorDescription() : QString::fromUtf8(kNothingDisabledMessage));
        return;
    }
    setDisabledCount(disabledNow);
    setCleanupComplete(true);
    setLoading(false);
}
