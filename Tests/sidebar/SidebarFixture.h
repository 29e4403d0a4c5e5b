#pragma once

#include "ActivityLogManager.h"
#include "PluginDatabase.h"
#include "PluginManagerViewModel.h"
#include "ProfileManager.h"
#include "Prompter.h"
#include "SidebarView.h"

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

#include <QApplication>
#include <QLabel>

#include <functional>
#include <memory>
#include <optional>

/// A prompter that runs a test's hook while a question is open (to change the world
/// between opening and answering) and records the proposed names of save panels.
class HookPrompter final : public Prompter {
public:
    std::function<void(const Alert&)> onAsk;
    QList<Alert> alerts;
    QList<int> nextAnswers;
    QList<std::optional<QString>> nextTexts;
    QList<std::optional<QString>> nextFiles;
    QStringList proposedNames;
    QList<TextRequest> textRequests;

    int ask(QWidget*, const Alert& alert) override
    {
        alerts.append(alert);
        if (onAsk)
            onAsk(alert);
        return nextAnswers.isEmpty() ? 0 : nextAnswers.takeFirst();
    }
    std::optional<QString> askText(QWidget*, const TextRequest& request) override
    {
        textRequests.append(request);
        return nextTexts.isEmpty() ? std::nullopt : nextTexts.takeFirst();
    }
    std::optional<QString> chooseOpenFile(QWidget*, const QString&, const QString&) override
    {
        return nextFiles.isEmpty() ? std::nullopt : nextFiles.takeFirst();
    }
    std::optional<QString> chooseSaveFile(QWidget*, const QString&, const QString& proposedName,
                                          const QString&) override
    {
        proposedNames.append(proposedName);
        return nextFiles.isEmpty() ? std::nullopt : nextFiles.takeFirst();
    }
};

/// Hands commands to the recording runner, or to the sandbox runner once a test asks
/// for real moves.
class ForwardingRunner final : public PrivilegedRunner {
public:
    std::shared_ptr<PrivilegedRunner> target;
    Result run(const QString& shellCommand) override { return target->run(shellCommand); }
};

/// A sandbox with a real catalogue, profile store and activity log, platform doubles,
/// a scripted prompter, and a sidebar built on them.
class SidebarTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
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
        m_sidebar.reset();
        m_profiles.reset();
        m_viewModel.reset();
        m_database.reset();
        Prompts::setCurrent({});
        ActivityLogManager::resetShared();
        SandboxTest::TearDown();
    }

    PluginManagerViewModel& vm() { return *m_viewModel; }
    ProfileManager& profiles() { return *m_profiles; }
    PluginDatabase& db() { return *m_database; }
    ActivityLogManager& activityLog() { return ActivityLogManager::shared(); }

    /// The sidebar, created on first use; its callbacks record their arguments.
    SidebarView& sidebar()
    {
        if (!m_sidebar) {
            m_sidebar = std::make_unique<SidebarView>(
                vm(), profiles(), [this](std::optional<PluginFormat> f) { m_enableCalls.append(f); },
                [this](std::optional<PluginFormat> f) { m_disableCalls.append(f); });
            m_sidebar->resize(300, 900);
        }
        return *m_sidebar;
    }

    /// The texts of every label inside `root`, shown or not.
    static QStringList labelTexts(const QWidget* root)
    {
        QStringList texts;
        for (const QLabel* label : root->findChildren<QLabel*>())
            texts << label->text();
        return texts;
    }

    /// Commands really run (unprivileged, inside R) from now on.
    void useSandboxRunner() { m_forwarder->target = m_sandboxRunner; }

    /// A record in R's plug-in folders (disabled ones in the central disabled folder);
    /// `onDisk` also creates its bundle.
    AudioPlugin plugin(const QString& name, PluginFormat format, bool enabled,
                       const QString& manufacturer = QStringLiteral("Acme"), bool onDisk = false)
    {
        AudioPlugin p;
        p.id = QUuid::createUuid();
        p.name = name;
        p.manufacturer = manufacturer;
        p.format = format;
        const QString ext = PluginFormats::fileExtensions(format).value(0);
        const QString file = name + u'.' + ext;
        p.originalPath = sys(QStringLiteral("/Library/Audio/Plug-Ins/") + PluginFormats::rawValue(format) + u'/' + file);
        p.currentPath = enabled ? p.originalPath
                                : sys(QStringLiteral("/Library/Audio/Plug-Ins/Disabled/") + PluginFormats::rawValue(format)
                                      + u'/' + file);
        p.isEnabled = enabled;
        if (onDisk)
            makeBundle(p.currentPath);
        return p;
    }

    /// Puts these rows into the catalogue and loads them into the view model.
    void seed(const QList<AudioPlugin>& plugins)
    {
        db().replaceAllPlugins(plugins);
        vm().refreshAllState();
    }

    std::shared_ptr<ManualClock> m_clock = std::make_shared<ManualClock>();
    std::shared_ptr<RecordingRunner> m_runner = std::make_shared<RecordingRunner>();
    std::shared_ptr<SandboxRunner> m_sandboxRunner = std::make_shared<SandboxRunner>();
    std::shared_ptr<ForwardingRunner> m_forwarder = std::make_shared<ForwardingRunner>();
    std::shared_ptr<RecordingWorkspace> m_workspace = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<ScriptedPrompter> m_prompter = std::make_shared<ScriptedPrompter>();
    QList<std::optional<PluginFormat>> m_enableCalls;
    QList<std::optional<PluginFormat>> m_disableCalls;

private:
    std::unique_ptr<PluginDatabase> m_database;
    std::unique_ptr<PluginManagerViewModel> m_viewModel;
    std::unique_ptr<ProfileManager> m_profiles;
    std::unique_ptr<SidebarView> m_sidebar;
};
