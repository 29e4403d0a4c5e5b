#pragma once

#include "MenuBarHelper/HelperLog.h"
#include "MenuBarHelper/MenuModel.h"
#include "MenuBarHelper/PluginFolders.h"
#include "Platform/PlatformServices.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>

class HelperUpdateCheck;
class QTimer;

/// The helper's hub: owns the menu (as plain data, see MenuModel), the folder watch and
/// what is known about installed plug-ins, the enabled count, the update state and the
/// timers. Everything runs on the main thread. The tray shows menu() and calls
/// menuWillOpen() before each opening.
class MenuBarAppDelegate final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MenuBarAppDelegate)
public:
    static constexpr auto kLogPrefix = HelperLog::kPrefix;
    static constexpr auto kTooltip = "Rackhand — Audio Plugin Manager";
    static constexpr auto kMainExecutableName = "Rackhand";
    static constexpr int kCountSyncIntervalMs = 10'000;
    static constexpr int kUpdateCheckIntervalMs = 1'209'600'000; // 14 days
    static constexpr int kWatchLatencyMs = 3'000;
    static constexpr int kDebounceMs = 3'000;
    static constexpr int kListedNewNames = 5;

    explicit MenuBarAppDelegate(PlatformServices services, QObject* parent = nullptr);
    ~MenuBarAppDelegate() override;

    /// The workstation-preference submenus, inserted above the quit item at every build
    /// (none by default).
    void setPreferenceMenus(std::function<MenuModel()> provider) { m_preferenceMenus = std::move(provider); }
    /// What quitting runs (default: quit the application).
    void setQuitAction(std::function<void()> quit) { m_quit = std::move(quit); }
    /// Tests shorten the folder events' latency and debounce.
    void setWatchTiming(int latencyMs, int debounceMs);
    /// The folder searched for the main program after its installed location (default:
    /// this program's own folder).
    void setHelperDirectory(const QString& folder) { m_helperDirectory = folder; }

    /// Start-up: first menu, known plug-ins, folder watch, count, update check, timers,
    /// and the main application's announcements.
    void applicationDidFinishLaunching();

    const MenuModel& menu() const { return m_menu; }
    /// Builds the whole menu afresh. A non-empty list of new plug-in names is kept and
    /// shown until the menu has been opened once with it.
    void buildMenu(const QStringList& newPluginNames = {});
    /// Before each opening of the menu.
    void menuWillOpen();

    qint64 totalPluginCount() const { return m_totalPluginCount; }
    std::optional<QDateTime> lastScannedAt() const { return m_lastScannedAt; }
    std::optional<QString> latestVersion() const { return m_latestVersion; }
    QString updateDownloadURL() const { return m_updateDownloadURL; }
    const QSet<QString>& lastKnownPluginKeys() const { return m_lastKnownPluginKeys; }
    const QSet<QString>& lastKnownAllPluginKeys() const { return m_lastKnownAllPluginKeys; }

    /// "just now", "<m>m ago", "<h>h ago" or "<d>d ago".
    static QString relativeTime(const QDateTime& date, const QDateTime& now);
    /// 1 when `a` is newer, -1 when older, 0 when equal (numeric parts; others dropped).
    static int compareVersions(const QString& a, const QString& b);
    /// The application's version, "0" when none is set.
    static QString currentVersion();
    /// Where an installed main program lives: R + the installation's bin folder.
    static QString installedMainAppPath();
    /// The notice text for newly found plug-ins.
    static QString newPluginsNoticeBody(const QStringList& names);

public Q_SLOTS:
    /// Rebuilds the menu without new names (the preference submenus ask after a change).
    void rebuildMenu() { buildMenu({}); }
    void checkForNewPlugins();
    void checkForUpdates();
    void checkForUpdatesManually() { checkForUpdates(); }
    void downloadUpdate();
    void openMainApp();
    void quitApp();
    void handlePluginCountChanged();
    void handleMainAppLaunched(const QVariantMap& userInfo);
    /// A folder event: (re)starts the debounce.
    void handleDirectoryChange();
    /// The rescan after the folders have been quiet.
    void onDirectoryChanged();
    /// The 10 s count synchronisation.
    void synchroniseCount();
    void applyUpdateAnswer(const QString& latest, const QString& downloadURL);

Q_SIGNALS:
    void menuChanged();

private:
    void loadLastKnownState();
    void startWatching();
    void saveKnownState();
    void showNewPluginsNotification(const QStringList& names);
    void log(const QString& text) const;
    QDateTime now() const;
    QSet<QString> scanPluginDirectories() const;
    QSet<QString> scanDisabledDirectories() const;
    QStringList watchedFolders() const;

    void appendHeader(MenuModel& menu) const;
    void appendNewPlugins(MenuModel& menu, const QStringList& names) const;
    void appendUpdate(MenuModel& menu);
    void appendActions(MenuModel& menu);

    PlatformServices m_services;
    std::function<MenuModel()> m_preferenceMenus;
    std::function<void()> m_quit;
    QString m_helperDirectory;

    MenuModel m_menu;
    QStringList m_unseenNewNames;

    QSet<QString> m_lastKnownPluginKeys;
    QSet<QString> m_lastKnownAllPluginKeys;
    std::optional<QDateTime> m_lastScannedAt;
    qint64 m_totalPluginCount = 0;
    QList<PluginFolders::Folder> m_pluginDirectories;
    QStringList m_disabledDirectories;
    int m_watchLatencyMs = kWatchLatencyMs;

    QTimer* m_debounceTimer = nullptr;
    QTimer* m_updateCheckTimer = nullptr;
    QTimer* m_countSyncTimer = nullptr;

    HelperUpdateCheck* m_updateCheck = nullptr;
    std::optional<QString> m_latestVersion;
    QString m_updateDownloadURL;
};
