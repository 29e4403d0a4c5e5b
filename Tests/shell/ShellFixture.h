#pragma once

#include "ActivityLogManager.h"
#include "ContentView.h"
#include "ContentViewSeams.h"
#include "LocalHttpServer.h"
#include "PluginDatabase.h"
#include "PluginManagerViewModel.h"
#include "ProfileManager.h"
#include "Prompter.h"
#include "UADCleanupManager.h"
#include "UpdateChecker.h"

#include "Platform/Paths.h"
#include "Platform/PlatformServices.h"
#include "Platform/testing/ManualClock.h"
#include "Platform/testing/MemoryDefaultsStore.h"
#include "Platform/testing/RecordingNotificationCenter.h"
#include "Platform/testing/RecordingProcessLauncher.h"
#include "Platform/testing/RecordingRunner.h"
#include "Platform/testing/RecordingWorkspace.h"
#include "Platform/testing/SandboxRunner.h"
#include "Support/SandboxTest.h"

#include <QSignalSpy>
#include <QWidget>

#include <memory>

/// Hands commands to whichever runner the test picked last.
class SwitchableRunner final : public PrivilegedRunner {
public:
    std::shared_ptr<PrivilegedRunner> target;
    Result run(const QString& shellCommand) override { return target->run(shellCommand); }
};

/// A sandbox with a real catalogue, profile store and activity log, platform doubles,
/// a scripted prompter, a local update server and stand-ins for the sidebar and the
/// main content area; the root view is built on them.
class ShellTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_savedServer = qgetenv(UpdateChecker::kBaseAddressVariable);
        qputenv(UpdateChecker::kBaseAddressVariable, server.baseAddress().toUtf8());
        m_database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        ActivityLogManager::resetShared(clock);
        m_runner->target = sandboxRunner;
        m_savedServices = Platform::services();
        Platform::setServices(services());
        prompter = std::make_shared<ScriptedPrompter>();
        Prompts::setCurrent(prompter);
        auto& seams = ContentViewSeams::factories();
        seams.sidebar = [](PluginManagerViewModel&, ProfileManager&, ContentViewSeams::FormatCallback,
                           ContentViewSeams::FormatCallback, QWidget* parent) { return new QWidget(parent); };
        seams.mainContent = [](PluginManagerViewModel&, ProfileManager&, ContentViewSeams::BulkRequest,
                               std::function<void()>, QWidget* parent) { return new QWidget(parent); };
        seams.onboardingSheet = nullptr; // a modal first-run sheet would block the window's input
    }

    void TearDown() override
    {
        m_view.reset();
        m_database.reset();
        ActivityLogManager::resetShared();
        ContentViewSeams::resetFactories();
        Prompts::setCurrent(nullptr);
        Platform::setServices(m_savedServices);
        if (m_savedServer.isNull())
            qunsetenv(UpdateChecker::kBaseAddressVariable);
        else
            qputenv(UpdateChecker::kBaseAddressVariable, m_savedServer);
        SandboxTest::TearDown();
    }

    PlatformServices services() const
    {
        PlatformServices s;
        s.privilegedRunner = m_runner;
        s.notificationCenter = notifications;
        s.defaults = defaults;
        s.processLauncher = std::make_shared<RecordingProcessLauncher>();
        s.workspace = workspace;
        s.clock = clock;
        return s;
    }

    /// Commands go to the recording runner from now on (answers queued there).
    void recordCommands() { m_runner->target = recorder; }

    /// The root view over a new view model and profile store (not shown).
    ContentView& view()
    {
        if (!m_view) {
            m_view = std::make_unique<ContentView>(
                std::make_unique<PluginManagerViewModel>(*m_database, ActivityLogManager::shared(), services()),
                checker, std::make_unique<ProfileManager>(nullptr, clock), uad);
        }
        return *m_view;
    }
    /// Drops the view (a closed window); the next view() builds a fresh one.
    void closeView() { m_view.reset(); }

    /// Shows the view and waits for its start-up scan.
    bool showAndWaitForStartup()
    {
        QSignalSpy done(&view(), &ContentView::startupSequenceFinished);
        view().resize(1000, 700);
        view().show();
        return done.wait(10000);
    }

    PluginDatabase& db() { return *m_database; }

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
        db().replaceAllPlugins(plugins);
        view().pluginManager().refreshAllState();
    }

    QStringList loggedActions() const
    {
        QStringList list;
        for (const ActivityLogEntry& entry : ActivityLogManager::shared().entries())
            list.append(ActivityLogEntry::actionRawValue(entry.action) + u' ' + entry.pluginName);
        return list;
    }

    LocalHttpServer server;
    UpdateChecker checker;
    UADCleanupManager uad;
    std::shared_ptr<ScriptedPrompter> prompter;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<RecordingRunner> recorder = std::make_shared<RecordingRunner>();
    std::shared_ptr<SandboxRunner> sandboxRunner = std::make_shared<SandboxRunner>();
    std::shared_ptr<RecordingNotificationCenter> notifications = std::make_shared<RecordingNotificationCenter>();
    std::shared_ptr<MemoryDefaultsStore> defaults = std::make_shared<MemoryDefaultsStore>();
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();

private:
    std::shared_ptr<SwitchableRunner> m_runner = std::make_shared<SwitchableRunner>();
    std::unique_ptr<PluginDatabase> m_database;
    std::unique_ptr<ContentView> m_view;
    PlatformServices m_savedServices;
    QByteArray m_savedServer;
};
