#pragma once

#include "ActivityLogManager.h"
#include "PluginDatabase.h"
#include "PluginManagerViewModel.h"
#include "ProfileManager.h"
#include "Prompter.h"

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

#include <QCoreApplication>
#include <QTest>

#include <memory>

/// A sandbox with a real catalogue, a view model on platform doubles (recording runner
/// and workspace), a profile store and a scripted prompter.
class PluginListTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_savedServices = Platform::services();
        m_database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        ActivityLogManager::resetShared(m_clock);
        PlatformServices services;
        services.privilegedRunner = m_runner;
        services.notificationCenter = std::make_shared<RecordingNotificationCenter>();
        services.defaults = std::make_shared<MemoryDefaultsStore>();
        services.processLauncher = std::make_shared<RecordingProcessLauncher>();
        services.workspace = m_workspace;
        services.clock = m_clock;
        Platform::setServices(services);
        // Commands are recorded and then really run (unprivileged, inside R).
        m_runner->setOnRun([sandbox = m_sandboxRunner](const QString& command) { sandbox->run(command); });
        m_viewModel = std::make_unique<PluginManagerViewModel>(*m_database, ActivityLogManager::shared(), services);
        m_profiles = std::make_unique<ProfileManager>(nullptr, m_clock);
        Prompts::setCurrent(m_prompter);
    }

    void TearDown() override
    {
        QCoreApplication::processEvents();
        m_profiles.reset();
        m_viewModel.reset();
        m_database.reset();
        Prompts::setCurrent({});
        ActivityLogManager::resetShared();
        Platform::setServices(m_savedServices);
        SandboxTest::TearDown();
    }

    PluginManagerViewModel& vm() { return *m_viewModel; }
    ProfileManager& profiles() { return *m_profiles; }
    PluginDatabase& db() { return *m_database; }

    /// An enabled or disabled record under R's plug-in folders.
    AudioPlugin plugin(const QString& name, PluginFormat format = PluginFormat::vst3, bool enabled = true,
                       const QString& manufacturer = QStringLiteral("Acme"))
    {
        AudioPlugin p;
        p.id = QUuid::createUuid();
        p.name = name;
        p.manufacturer = manufacturer;
        p.format = format;
        const QString file = name + u'.' + PluginFormats::fileExtensions(format).value(0);
        p.originalPath = sys(QStringLiteral("/Library/Audio/Plug-Ins/") + PluginFormats::rawValue(format) + u'/' + file);
        p.currentPath = enabled ? p.originalPath
                                : sys(QStringLiteral("/Library/Audio/Plug-Ins/Disabled/")
                                      + PluginFormats::rawValue(format) + u'/' + file);
        p.isEnabled = enabled;
        p.version = QStringLiteral("1.0");
        makeBundle(p.currentPath); // operations check that the bundle is there
        return p;
    }

    /// `count` plug-ins named "Plugin 0001"... (sorted by name as numbered).
    QList<AudioPlugin> numbered(int count, PluginFormat format = PluginFormat::vst3, bool enabled = true)
    {
        QList<AudioPlugin> list;
        for (int i = 1; i <= count; ++i)
            list.append(plugin(QStringLiteral("Plugin %1").arg(i, 4, 10, QLatin1Char('0')), format, enabled));
        return list;
    }

    /// Puts the rows into the catalogue and loads them into the view model.
    void seed(const QList<AudioPlugin>& plugins)
    {
        db().replaceAllPlugins(plugins);
        vm().refreshAllState();
    }

    /// Lets queued work (toggles started from clicks, the 50 ms search reload) run.
    static void settle(int ms = 0)
    {
        if (ms > 0)
            QTest::qWait(ms);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    std::shared_ptr<ManualClock> m_clock = std::make_shared<ManualClock>();
    std::shared_ptr<RecordingRunner> m_runner = std::make_shared<RecordingRunner>();
    std::shared_ptr<SandboxRunner> m_sandboxRunner = std::make_shared<SandboxRunner>();
    std::shared_ptr<RecordingWorkspace> m_workspace = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<ScriptedPrompter> m_prompter = std::make_shared<ScriptedPrompter>();

private:
    PlatformServices m_savedServices;
    std::unique_ptr<PluginDatabase> m_database;
    std::unique_ptr<PluginManagerViewModel> m_viewModel;
    std::unique_ptr<ProfileManager> m_profiles;
};
