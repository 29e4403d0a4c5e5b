#pragma once

#include "Platform/Paths.h"
#include "Support/PlatformDoubles.h"
#include "Support/SandboxTest.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/DisabledLayout.h"
#include "catalogue/PluginDatabase.h"
#include "catalogue/ProfileManager.h"
#include "operations/PluginManagerViewModel.h"
#include "operations/ProgressWindowManager.h"
#include "widgets/Prompter.h"

#include <QCoreApplication>

#include <memory>

/// The world both window columns are tested in: a sandbox with a real catalogue in D,
/// a view model on platform doubles (commands go to a recording runner), a profile
/// store, a fresh activity log on a manual clock and a scripted prompter, all handed
/// to what the tests build.
class ViewModelTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        m_activityLog = std::make_unique<ActivityLogManager>(m_clock);
        m_viewModel =
            std::make_unique<PluginManagerViewModel>(*m_database, *m_activityLog, m_progress, m_doubles.services());
        m_profiles = std::make_unique<ProfileManager>(nullptr, m_clock);
    }

    void TearDown() override
    {
        QCoreApplication::processEvents();
        m_profiles.reset();
        m_viewModel.reset();
        m_activityLog.reset();
        m_database.reset();
        SandboxTest::TearDown();
    }

    PluginManagerViewModel& vm() { return *m_viewModel; }
    /// A new view model over other services, before a test builds any view on the first one.
    void rebuildViewModel(PlatformServices services)
    {
        m_viewModel =
            std::make_unique<PluginManagerViewModel>(*m_database, *m_activityLog, m_progress, std::move(services));
    }
    ProfileManager& profiles() { return *m_profiles; }
    PluginDatabase& db() { return *m_database; }
    ActivityLogManager& activityLog() { return *m_activityLog; }

    /// What the views a test builds ask through: the scripted prompter, unless the test
    /// hands in another (askThrough) before it builds them.
    Prompter& prompter() { return m_otherPrompter ? *m_otherPrompter : *m_prompter; }
    void askThrough(std::shared_ptr<Prompter> prompter) { m_otherPrompter = std::move(prompter); }

    /// Commands really run (unprivileged, inside R) from now on, unrecorded.
    void useSandboxRunner() { m_doubles.useSandboxRunner(); }

    /// A catalogue record under R's plug-in folders (disabled ones in the central
    /// disabled folder); nothing is created on disk.
    AudioPlugin record(const QString& name, PluginFormat format, bool enabled, const QString& manufacturer) const
    {
        AudioPlugin p;
        p.id = QUuid::createUuid();
        p.name = name;
        p.manufacturer = manufacturer;
        p.format = format;
        const QString file = name + u'.' + PluginFormats::fileExtensions(format).value(0);
        // The format's own system folder, and its folder in the disabled layout.
        const QStringList folders = PluginFormats::systemPaths(format);
        p.originalPath =
            (folders.isEmpty() ? sys(QStringLiteral("/Applications/Waves/Plug-Ins V15")) : folders.first()) + u'/' +
            file;
        p.currentPath = enabled ? p.originalPath : DisabledLayout::destinationFolder(p) + u'/' + file;
        p.isEnabled = enabled;
        return p;
    }

    /// Puts the rows into the catalogue and loads them into the view model.
    void seed(const QList<AudioPlugin>& plugins)
    {
        ASSERT_EQ(db().replaceAllPlugins(plugins), QString());
        vm().refreshAllState();
    }

    PlatformDoubles m_doubles;
    std::shared_ptr<ManualClock>& m_clock = m_doubles.clock;
    std::shared_ptr<RecordingRunner>& m_runner = m_doubles.recorder;
    std::shared_ptr<SandboxRunner>& m_sandboxRunner = m_doubles.sandboxRunner;
    std::shared_ptr<RecordingWorkspace>& m_workspace = m_doubles.workspace;
    std::shared_ptr<ScriptedPrompter> m_prompter = std::make_shared<ScriptedPrompter>();

private:
    std::shared_ptr<Prompter> m_otherPrompter;
    ProgressWindowManager m_progress;
    std::unique_ptr<PluginDatabase> m_database;
    std::unique_ptr<ActivityLogManager> m_activityLog;
    std::unique_ptr<PluginManagerViewModel> m_viewModel;
    std::unique_ptr<ProfileManager> m_profiles;
};
