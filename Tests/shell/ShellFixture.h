#pragma once

#include "Platform/Paths.h"
#include "Platform/UpdateServer.h"
#include "Support/PlatformDoubles.h"
#include "Support/SandboxTest.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/PluginDatabase.h"
#include "catalogue/ProfileManager.h"
#include "operations/PluginManagerViewModel.h"
#include "operations/ProgressWindowManager.h"
#include "shell/ContentView.h"
#include "shell/ContentViewSeams.h"
#include "shell/LocalHttpServer.h"
#include "shell/UpdateChecker.h"
#include "shell/WindowState.h"
#include "uadcleanup/UADCleanupManager.h"
#include "widgets/Prompter.h"

#include <QSignalSpy>
#include <QWidget>

#include <functional>
#include <memory>

/// A sandbox with a real catalogue, profile store and activity log, platform doubles,
/// a scripted prompter, a local update server and stand-ins for the sidebar and the
/// main content area (`seams`); the root view is built on them.
class ShellTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_savedServer = qgetenv(UpdateServer::kAddressVariable);
        qputenv(UpdateServer::kAddressVariable, server.baseAddress().toUtf8());
        m_database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        m_uad = std::make_unique<UADCleanupManager>(*m_database, m_doubles.uadControlPanel);
        m_activityLog = std::make_unique<ActivityLogManager>(clock);
        m_doubles.useSandboxRunner();
        m_doubles.uadControlPanel->setInstalled(false); // as on this system: the vendor's panel is never there
        prompter = std::make_shared<ScriptedPrompter>();
        seams = ContentViewSeams::defaults();
        seams.sidebar = [](PluginManagerViewModel&, ProfileManager&, Prompter&, ContentViewSeams::FormatCallback,
                           ContentViewSeams::FormatCallback, QWidget* parent) { return new QWidget(parent); };
        seams.mainContent = [](PluginManagerViewModel&, ProfileManager&, Prompter&, ContentViewSeams::BulkRequest,
                               std::function<void()>, QWidget* parent) { return new QWidget(parent); };
        seams.onboardingSheet = nullptr; // a modal first-run sheet would block the window's input
    }

    void TearDown() override
    {
        closeView();
        m_uad.reset();
        m_activityLog.reset();
        m_database.reset();
        if (m_savedServer.isNull())
            qunsetenv(UpdateServer::kAddressVariable);
        else
            qputenv(UpdateServer::kAddressVariable, m_savedServer);
        SandboxTest::TearDown();
    }

    PlatformServices services() const { return m_doubles.services(); }

    /// Commands go to the recording runner from now on (answers queued there).
    void recordCommands() { m_doubles.useRecordingRunner(); }

    /// The root view over a new view model and profile store (not shown), built from `seams`.
    ContentView& view()
    {
        if (!m_view) {
            m_state = std::make_unique<WindowState>(
                std::make_unique<PluginManagerViewModel>(*m_database, *m_activityLog, progress, services()), checker,
                std::make_unique<ProfileManager>(nullptr, clock), *m_uad);
            m_view = std::make_unique<ContentView>(*m_state, viewPrompter ? *viewPrompter : *prompter, seams);
        }
        return *m_view;
    }
    /// Drops the view (a closed window); the next view() builds a fresh one.
    void closeView()
    {
        m_view.reset();
        m_state.reset();
    }

    /// Shows the view and waits for its start-up scan.
    bool showAndWaitForStartup()
    {
        QSignalSpy done(&view(), &ContentView::startupSequenceFinished);
        view().resize(1000, 700);
        view().show();
        return done.wait(10000);
    }

    PluginDatabase& db() { return *m_database; }
    /// Closes the catalogue, lets `change` work on its file, and opens it again (a new start).
    void reopenCatalogue(const std::function<void(const QString& path)>& change)
    {
        closeView();
        m_uad.reset();
        m_database.reset();
        change(Paths::dataFile(QStringLiteral("plugins.db")));
        m_database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        m_uad = std::make_unique<UADCleanupManager>(*m_database, m_doubles.uadControlPanel);
    }
    /// The window's UAD clean-up, over the same catalogue.
    UADCleanupManager& uad() { return *m_uad; }
    /// The activity log the view model records in.
    ActivityLogManager& activityLog() { return *m_activityLog; }

    static AudioPlugin record(const QString& name, PluginFormat format, const QString& path, bool enabled)
    {
        AudioPlugin plugin;
        plugin.id = QUuid::createUuid();
        plugin.name = name;
        plugin.manufacturer = QStringLiteral("Acme");
        plugin.format = format;
        plugin.originalPath = path;
        plugin.currentPath = path;
        plugin.isEnabled = enabled;
        return plugin;
    }

    /// Catalogue rows, loaded into the view's state.
    void seed(const QList<AudioPlugin>& plugins)
    {
        ASSERT_EQ(db().replaceAllPlugins(plugins), QString());
        view().pluginManager().refreshAllState();
    }

    QStringList loggedActions() const
    {
        QStringList list;
        for (const ActivityLogEntry& entry : m_activityLog->entries())
            list.append(ActivityLogEntry::actionRawValue(entry.action) + u' ' + entry.pluginName);
        return list;
    }

    PlatformDoubles m_doubles;
    LocalHttpServer server;
    UpdateChecker checker;
    ProgressWindowManager progress;
    std::shared_ptr<ScriptedPrompter> prompter;
    /// When set before the view is built, the view asks this one instead of `prompter`.
    Prompter* viewPrompter = nullptr;
    /// What the root view is built from.
    ContentViewSeams::Factories seams;
    std::shared_ptr<ManualClock>& clock = m_doubles.clock;
    std::shared_ptr<RecordingRunner>& recorder = m_doubles.recorder;
    std::shared_ptr<SandboxRunner>& sandboxRunner = m_doubles.sandboxRunner;
    std::shared_ptr<RecordingNotificationCenter>& notifications = m_doubles.notifications;
    std::shared_ptr<MemoryDefaultsStore>& defaults = m_doubles.defaults;
    std::shared_ptr<RecordingWorkspace>& workspace = m_doubles.workspace;

private:
    std::unique_ptr<PluginDatabase> m_database;
    std::unique_ptr<ActivityLogManager> m_activityLog;
    std::unique_ptr<UADCleanupManager> m_uad;
    std::unique_ptr<WindowState> m_state; // outlives the view over it
    std::unique_ptr<ContentView> m_view;
    QByteArray m_savedServer;
};
