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

#include <memory>

/// Hands commands to the recording runner, or to the sandbox runner once a test asks
/// for real moves.
class ForwardingRunner final : public PrivilegedRunner {
public:
    std::shared_ptr<PrivilegedRunner> target;
    Result run(const QString& shellCommand) override { return target->run(shellCommand); }
};

/// The world both window columns are tested in: a sandbox with a real catalogue in D,
/// a view model on platform doubles (commands go to a recording runner), a profile
/// store, a fresh activity log on a manual clock and a scripted prompter.
class ViewModelTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_savedServices = Platform::services();
        m_database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        ActivityLogManager::resetShared(m_clock);
        PlatformServices services;
        m_forwarder->target = m_runner;
        services.privilegedRunner = m_forwarder;
        services.notificationCenter = std::make_shared<RecordingNotificationCenter>();
        services.defaults = std::make_shared<MemoryDefaultsStore>();
        services.processLauncher = std::make_shared<RecordingProcessLauncher>();
        services.workspace = m_workspace;
        services.clock = m_clock;
        Platform::setServices(services);
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

    /// Commands really run (unprivileged, inside R) from now on, unrecorded.
    void useSandboxRunner() { m_forwarder->target = m_sandboxRunner; }

    /// A catalogue record under R's plug-in folders (disabled ones in the central
    /// disabled folder); nothing is created on disk.
    AudioPlugin record(const QString& name, PluginFormat format, bool enabled, const QString& manufacturer) const
    {
        AudioPlugin p;
        p.id = QUuid::createUuid();
        p.name = name;
        p.manufacturer = manufacturer;
        p.format = format;
        const QString folder = PluginFormats::rawValue(format) + u'/';
        const QString file = name + u'.' + PluginFormats::fileExtensions(format).value(0);
        p.originalPath = sys(QStringLiteral("/Library/Audio/Plug-Ins/") + folder + file);
        p.currentPath = enabled ? p.originalPath : sys(QStringLiteral("/Library/Audio/Plug-Ins/Disabled/") + folder + file);
        p.isEnabled = enabled;
        return p;
    }

    /// Puts the rows into the catalogue and loads them into the view model.
    void seed(const QList<AudioPlugin>& plugins)
    {
        db().replaceAllPlugins(plugins);
        vm().refreshAllState();
    }

    std::shared_ptr<ManualClock> m_clock = std::make_shared<ManualClock>();
    std::shared_ptr<RecordingRunner> m_runner = std::make_shared<RecordingRunner>();
    std::shared_ptr<SandboxRunner> m_sandboxRunner = std::make_shared<SandboxRunner>();
    std::shared_ptr<RecordingWorkspace> m_workspace = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<ScriptedPrompter> m_prompter = std::make_shared<ScriptedPrompter>();

private:
    PlatformServices m_savedServices;
    std::shared_ptr<ForwardingRunner> m_forwarder = std::make_shared<ForwardingRunner>();
    std::unique_ptr<PluginDatabase> m_database;
    std::unique_ptr<PluginManagerViewModel> m_viewModel;
    std::unique_ptr<ProfileManager> m_profiles;
};
