#include "MenuBarHelper/MenuBarAppDelegate.h"

#include "MenuBarHelper/EnabledCountReader.h"
#include "MenuBarHelper/HelperUpdateCheck.h"
#include "MenuBarHelper/KnownPluginsStore.h"
#include "Platform/ApplicationLauncher.h"
#include "Platform/Clock.h"
#include "Platform/FolderWatcher.h"
#include "Platform/NotificationCenter.h"
#include "Platform/Paths.h"
#include "Platform/RackhandBus.h"
#include "Platform/UpdateServer.h"
#include "Platform/UserNotifier.h"
#include "Platform/Workspace.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#ifndef RACKHAND_INSTALL_BINDIR
#define RACKHAND_INSTALL_BINDIR "/usr/local/bin"
#endif

namespace {

MenuItemModel label(const QString& title, int indent = 0)
{
    MenuItemModel item;
    item.title = title;
    item.enabled = false;
    item.information = true;
    item.indent = indent;
    return item;
}

MenuItemModel command(const QString& title, const char* key, std::function<void()> action)
{
    MenuItemModel item;
    item.title = title;
    item.key = QString::fromLatin1(key);
    item.action = std::move(action);
    return item;
}

QList<qint64> versionParts(const QString& version)
{
    QList<qint64> parts;
    for (const QString& piece : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 value = piece.toLongLong(&ok);
        if (ok)
            parts.append(value);
    }
    return parts;
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

MenuBarAppDelegate::MenuBarAppDelegate(PlatformServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_quit([] { QCoreApplication::quit(); }),
      m_helperDirectory(QCoreApplication::applicationDirPath()),
      m_pluginDirectories(PluginFolders::pluginDirectories()),
      m_disabledDirectories(PluginFolders::disabledDirectories()), m_debounceTimer(new QTimer(this)),
      m_updateCheckTimer(new QTimer(this)), m_countSyncTimer(new QTimer(this)),
      m_updateCheck(new HelperUpdateCheck(this)),
      m_updateDownloadURL(QString::fromLatin1(UpdateServer::kDefaultDownloadURL))
{
    m_debounceTimer->setSingleShot(true);
    m_debounceTimer->setInterval(kDebounceMs);
    connect(m_debounceTimer, &QTimer::timeout, this, &MenuBarAppDelegate::onDirectoryChanged);
    m_updateCheckTimer->setInterval(kUpdateCheckIntervalMs);
    connect(m_updateCheckTimer, &QTimer::timeout, this, &MenuBarAppDelegate::checkForUpdates);
    m_countSyncTimer->setInterval(kCountSyncIntervalMs);
    connect(m_countSyncTimer, &QTimer::timeout, this, &MenuBarAppDelegate::synchroniseCount);
    connect(m_updateCheck, &HelperUpdateCheck::answered, this, &MenuBarAppDelegate::applyUpdateAnswer);
}

MenuBarAppDelegate::~MenuBarAppDelegate()
{
    if (m_services.folderWatcher)
        m_services.folderWatcher->stop();
    if (m_services.userNotifier)
        m_services.userNotifier->setActivationHandler({});
}

void MenuBarAppDelegate::setWatchTiming(int latencyMs, int debounceMs)
{
    m_watchLatencyMs = latencyMs;
    m_debounceTimer->setInterval(debounceMs);
}

void MenuBarAppDelegate::applicationDidFinishLaunching()
{
    // A click on any of our notices opens the main application.
    if (m_services.userNotifier) {
        QPointer<MenuBarAppDelegate> self(this);
        m_services.userNotifier->setActivationHandler([self] {
            if (self)
                self->openMainApp();
        });
    }
    // The first menu shows "No plugins found" until the state is loaded.
    buildMenu({});
    // The watch is armed before the folders are listed: a bundle installed in between is
    // either in the list or raises an event, never neither.
    startWatching();
    loadLastKnownState();

    // Only a failed read falls back to the folders; a catalogue that counts 0 means 0.
    const std::optional<qint64> counted = EnabledCountReader::read();
    m_totalPluginCount = counted ? *counted : scanPluginDirectories().size();
    m_lastScannedAt = now();
    buildMenu({});

    checkForUpdates();
    m_updateCheckTimer->start();
    m_countSyncTimer->start();
    if (m_services.notificationCenter) {
        m_services.notificationCenter->observe(QString::fromLatin1(RackhandBus::kAppDidLaunch), this,
                                               [this](const QVariantMap& info) { handleMainAppLaunched(info); });
        m_services.notificationCenter->observe(QString::fromLatin1(RackhandBus::kPluginCountChanged), this,
                                               [this](const QVariantMap&) { handlePluginCountChanged(); });
    }
}

// --- Menu ---

void MenuBarAppDelegate::buildMenu(const QStringList& newPluginNames)
{
    if (!newPluginNames.isEmpty())
        m_unseenNewNames = newPluginNames;
    MenuModel menu;
    appendHeader(menu);
    appendNewPlugins(menu, m_unseenNewNames);
    appendUpdate(menu);
    appendActions(menu);
    m_menu = std::move(menu);
    Q_EMIT menuChanged();
}

void MenuBarAppDelegate::menuWillOpen()
{
    buildMenu({});
    // This opening shows the names of the last detection; the next build leaves them out.
    m_unseenNewNames.clear();
}

void MenuBarAppDelegate::appendHeader(MenuModel& menu) const
{
    MenuItemModel title = label(QStringLiteral("Rackhand"));
    title.heading = true;
    menu.push_back(std::move(title));
    menu.push_back(label(m_totalPluginCount >= 1
                             ? QString::number(m_totalPluginCount) + QStringLiteral(" plugins enabled")
                             : QStringLiteral("No plugins found")));
    if (m_lastScannedAt)
        menu.push_back(label(QStringLiteral("Last checked: ") + relativeTime(*m_lastScannedAt, now())));
    menu.push_back(MenuItemModel::makeSeparator());
}

void MenuBarAppDelegate::appendNewPlugins(MenuModel& menu, const QStringList& names) const
{
    if (names.isEmpty())
        return;
    menu.push_back(
        label(QStringLiteral("🆕 ") + QString::number(names.size()) + QStringLiteral(" new plugin(s) detected")));
    const qsizetype listed = std::min<qsizetype>(names.size(), kListedNewNames);
    for (qsizetype i = 0; i < listed; ++i)
        menu.push_back(label(QStringLiteral("   • ") + names.at(i), 1));
    if (names.size() > kListedNewNames)
        menu.push_back(label(QStringLiteral("   … and ") + QString::number(names.size() - kListedNewNames) +
                             QStringLiteral(" more")));
    menu.push_back(MenuItemModel::makeSeparator());
}

void MenuBarAppDelegate::appendUpdate(MenuModel& menu)
{
    if (!m_latestVersion || compareVersions(*m_latestVersion, currentVersion()) < 1)
        return;
    MenuItemModel item;
    item.title = QStringLiteral("⬆️ Update Available: v") + *m_latestVersion;
    item.action = [this] { downloadUpdate(); };
    menu.push_back(std::move(item));
    menu.push_back(MenuItemModel::makeSeparator());
}

void MenuBarAppDelegate::appendActions(MenuModel& menu)
{
    menu.push_back(command(QStringLiteral("Open Rackhand"), "o", [this] { openMainApp(); }));
    menu.push_back(command(QStringLiteral("Check for New Plugins"), "r", [this] { checkForNewPlugins(); }));
    menu.push_back(command(QStringLiteral("Check for Updates"), "u", [this] { checkForUpdatesManually(); }));
    menu.push_back(MenuItemModel::makeSeparator());
    if (m_preferenceMenus) {
        MenuModel preferences = m_preferenceMenus();
        if (!preferences.empty()) {
            std::move(preferences.begin(), preferences.end(), std::back_inserter(menu));
            menu.push_back(MenuItemModel::makeSeparator());
        }
    }
    menu.push_back(command(QStringLiteral("Quit Menu Bar Helper"), "q", [this] { quitApp(); }));
}

void MenuBarAppDelegate::quitApp()
{
    if (m_quit)
        m_quit();
}

// --- Count ---

void MenuBarAppDelegate::synchroniseCount()
{
    const std::optional<qint64> counted = EnabledCountReader::read();
    if (!counted || *counted == m_totalPluginCount)
        return;
    m_totalPluginCount = *counted;
    buildMenu({});
}

void MenuBarAppDelegate::handlePluginCountChanged()
{
    const std::optional<qint64> counted = EnabledCountReader::read();
    if (!counted)
        return;
    m_totalPluginCount = *counted;
    m_lastScannedAt = now();
    buildMenu({});
}

void MenuBarAppDelegate::handleMainAppLaunched(const QVariantMap& userInfo)
{
    if (!m_latestVersion || compareVersions(*m_latestVersion, currentVersion()) < 1)
        return;
    const QVariant version = userInfo.value(QStringLiteral("version"));
    const QString launched = version.typeId() == QMetaType::QString ? version.toString() : currentVersion();
    if (compareVersions(launched, *m_latestVersion) >= 0) {
        m_latestVersion.reset();
        buildMenu({});
    }
}

QString MenuBarAppDelegate::relativeTime(const QDateTime& date, const QDateTime& now)
{
    const qint64 seconds = date.secsTo(now);
    if (seconds < 60)
        return QStringLiteral("just now");
    if (seconds < 3'600)
        return QString::number(seconds / 60) + QStringLiteral("m ago");
    if (seconds < 86'400)
        return QString::number(seconds / 3'600) + QStringLiteral("h ago");
    return QString::number(seconds / 86'400) + QStringLiteral("d ago");
}

// --- Folder watch and new plug-ins ---

QSet<QString> MenuBarAppDelegate::scanPluginDirectories() const
{
    return PluginFolders::scanPluginDirectories(m_pluginDirectories);
}

QSet<QString> MenuBarAppDelegate::scanDisabledDirectories() const
{
    return PluginFolders::scanDisabledDirectories(m_disabledDirectories);
}

void MenuBarAppDelegate::loadLastKnownState()
{
    if (const std::optional<QSet<QString>> stored = KnownPluginsStore::load()) {
        m_lastKnownPluginKeys = *stored;
        m_lastKnownAllPluginKeys = *stored | scanDisabledDirectories();
        return;
    }
    // First run (or a file that could not be read): what is installed now counts as known.
    m_lastKnownPluginKeys = scanPluginDirectories();
    m_lastKnownAllPluginKeys = m_lastKnownPluginKeys | scanDisabledDirectories();
    saveKnownState();
}

void MenuBarAppDelegate::saveKnownState()
{
    const QString problem = KnownPluginsStore::save(m_lastKnownPluginKeys);
    if (!problem.isEmpty())
        log(QStringLiteral("Could not save ") + KnownPluginsStore::filePath() + QStringLiteral(": ") + problem);
}

void MenuBarAppDelegate::startWatching()
{
    if (!m_services.folderWatcher)
        return;
    QPointer<MenuBarAppDelegate> self(this);
    m_services.folderWatcher->start(watchedFolders(), m_watchLatencyMs, [self] {
        if (self)
            self->handleDirectoryChange();
    });
}

void MenuBarAppDelegate::handleDirectoryChange()
{
    // Each event restarts the wait: a burst of changes gives one rescan.
    m_debounceTimer->start();
}

QStringList MenuBarAppDelegate::watchedFolders() const
{
    return PluginFolders::watchedFolders(m_pluginDirectories, m_disabledDirectories);
}

void MenuBarAppDelegate::onDirectoryChanged()
{
    // Folders of the layout come and go (a disabled folder's first format folder): the watch
    // follows before the folders are listed, so nothing falls between the two.
    if (m_services.folderWatcher)
        m_services.folderWatcher->setFolders(watchedFolders());
    const QSet<QString> active = scanPluginDirectories();
    const QSet<QString> all = active | scanDisabledDirectories();
    m_totalPluginCount = active.size();
    m_lastScannedAt = now();
    const QSet<QString> fresh = active - m_lastKnownAllPluginKeys;
    log(QStringLiteral("FSEvent fired — active: %1, knownAll: %2, new: %3")
            .arg(active.size())
            .arg(m_lastKnownAllPluginKeys.size())
            .arg(fresh.size()));
    if (fresh.isEmpty()) {
        buildMenu({});
    } else {
        QStringList names;
        for (const QString& key : fresh)
            names.append(PluginFolders::displayName(key));
        log(QStringLiteral("New plugins: ") + names.join(QStringLiteral(", ")));
        std::sort(names.begin(), names.end());
        showNewPluginsNotification(names);
        buildMenu(names);
        if (m_services.notificationCenter)
            m_services.notificationCenter->post(QString::fromLatin1(RackhandBus::kNewPluginsDetected),
                                                {{QStringLiteral("count"), int(names.size())}});
    }
    m_lastKnownAllPluginKeys = all;
    m_lastKnownPluginKeys = active;
    saveKnownState();
}

void MenuBarAppDelegate::checkForNewPlugins()
{
    const QSet<QString> active = scanPluginDirectories();
    const QSet<QString> all = active | scanDisabledDirectories();
    const QSet<QString> fresh = active - m_lastKnownAllPluginKeys;
    if (fresh.isEmpty()) {
        if (m_services.userNotifier)
            m_services.userNotifier->send(QStringLiteral("Rackhand"), QStringLiteral("No new plugins detected."));
    } else {
        QStringList names;
        for (const QString& key : fresh)
            names.append(PluginFolders::displayName(key));
        std::sort(names.begin(), names.end());
        showNewPluginsNotification(names);
        buildMenu(names);
    }
    m_lastKnownPluginKeys = active;
    m_lastKnownAllPluginKeys = all;
    saveKnownState();
}

QString MenuBarAppDelegate::newPluginsNoticeBody(const QStringList& names)
{
    if (names.size() == 1)
        return names.first() + QStringLiteral(" was installed. Open Rackhand to manage it.");
    QString body = QString::number(names.size()) + QStringLiteral(" new plugins installed: ") +
                   names.mid(0, 3).join(QStringLiteral(", "));
    if (names.size() >= 4)
        body += QStringLiteral("…");
    return body + QStringLiteral(". Open Rackhand to manage them.");
}

void MenuBarAppDelegate::showNewPluginsNotification(const QStringList& names)
{
    if (m_services.userNotifier)
        m_services.userNotifier->send(QStringLiteral("Rackhand — New Plugins Detected"), newPluginsNoticeBody(names));
}

// --- Update check ---

QString MenuBarAppDelegate::currentVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("0") : version;
}

int MenuBarAppDelegate::compareVersions(const QString& a, const QString& b)
{
    const QList<qint64> left = versionParts(a);
    const QList<qint64> right = versionParts(b);
    const qsizetype n = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < n; ++i) {
        const qint64 x = left.value(i, 0);
        const qint64 y = right.value(i, 0);
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

void MenuBarAppDelegate::checkForUpdates()
{
    m_updateCheck->start(currentVersion());
}

void MenuBarAppDelegate::applyUpdateAnswer(const QString& latest, const QString& downloadURL)
{
    m_updateDownloadURL = downloadURL;
    const bool newer = compareVersions(latest, currentVersion()) >= 1;
    const bool alreadyKnown = m_latestVersion && compareVersions(*m_latestVersion, currentVersion()) > 0;
    m_latestVersion = latest;
    buildMenu({});
    if (newer && !alreadyKnown && m_services.userNotifier)
        m_services.userNotifier->send(QStringLiteral("Rackhand ") + latest + QStringLiteral(" Available"),
                                      QStringLiteral("A new version is ready. Click to download."));
}

void MenuBarAppDelegate::downloadUpdate()
{
    const QUrl url(m_updateDownloadURL);
    if (url.isValid() && m_services.workspace)
        m_services.workspace->openUrl(url);
}

// --- Main application ---

QString MenuBarAppDelegate::installedMainAppPath()
{
    return Paths::system(QStringLiteral(RACKHAND_INSTALL_BINDIR "/") + QString::fromLatin1(kMainExecutableName));
}

void MenuBarAppDelegate::openMainApp()
{
    if (!m_services.applicationLauncher)
        return;
    // A running main application answers a second start by coming to the front.
    const QString installed = installedMainAppPath();
    if (isExecutableFile(installed)) {
        m_services.applicationLauncher->launchExecutable(installed);
        return;
    }
    const QString beside = m_helperDirectory + QLatin1Char('/') + QString::fromLatin1(kMainExecutableName);
    if (isExecutableFile(beside)) {
        m_services.applicationLauncher->launchExecutable(beside);
        return;
    }
    m_services.applicationLauncher->launchDesktopEntry(QString::fromLatin1(RackhandBus::kDesktopId));
}

// --- Shared ---

QDateTime MenuBarAppDelegate::now() const
{
    return m_services.clock ? m_services.clock->now() : QDateTime::currentDateTimeUtc();
}

void MenuBarAppDelegate::log(const QString& text) const
{
    HelperLog::print(text);
}
