#pragma once

#include "Platform/Paths.h"
#include "Support/PlatformDoubles.h"
#include "Support/SandboxTest.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/PluginDatabase.h"
#include "operations/PluginManagerViewModel.h"
#include "operations/ProgressWindowManager.h"
#include "uadcleanup/UADCleanupManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <chrono>
#include <memory>

/// Reaches the published state directly, for views tested in states no run produces.
class UADCleanupManagerTestAccess {
public:
    static void set(UADCleanupManager& m, bool loading, bool complete, std::optional<QString> message,
                    QList<UADPluginAuth> demos)
    {
        m.setLoading(loading);
        m.setCleanupComplete(complete);
        m.setErrorMessage(std::move(message));
        m.setDemoPlugins(std::move(demos));
    }
};

/// A sandbox with a real catalogue, a view model on the platform doubles (commands go to
/// the recording runner until a test asks for real moves) and a clean-up manager reading that
/// catalogue and asking the doubles' scripted control panel.
class UADCleanupTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        m_activityLog = std::make_unique<ActivityLogManager>(clock);
        m_viewModel =
            std::make_unique<PluginManagerViewModel>(*m_database, *m_activityLog, m_progress, m_doubles.services());
        m_manager = std::make_unique<UADCleanupManager>(*m_database, panel);
        m_manager->setExportWait(std::chrono::milliseconds(0));
        panel->setWritesNothing();
    }

    void TearDown() override
    {
        QCoreApplication::processEvents();
        m_manager.reset();
        m_viewModel.reset();
        m_activityLog.reset();
        m_database.reset();
        SandboxTest::TearDown();
    }

    UADCleanupManager& manager() { return *m_manager; }
    PluginManagerViewModel& vm() { return *m_viewModel; }
    PluginDatabase& db() { return *m_database; }

    /// Commands really run (unprivileged, inside R) from now on.
    void useSandboxRunner() { m_doubles.useSandboxRunner(); }

    /// A VST3 catalogue row under R (a disabled one in the central disabled folder).
    AudioPlugin record(const QString& name, bool enabled = true,
                       const QString& manufacturer = QStringLiteral("Universal Audio")) const
    {
        AudioPlugin p;
        p.id = QUuid::createUuid();
        p.name = name;
        p.manufacturer = manufacturer;
        p.format = PluginFormat::vst3;
        const QString file = name + QStringLiteral(".vst3");
        p.originalPath = sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + file);
        p.currentPath = enabled ? p.originalPath : sys(QStringLiteral("/Library/Audio/Plug-Ins/Disabled/VST3/") + file);
        p.isEnabled = enabled;
        return p;
    }

    /// Rows into the catalogue; with `onDisk`, their bundles where the rows say they lie.
    void seed(const QList<AudioPlugin>& plugins, bool onDisk = false)
    {
        for (const AudioPlugin& plugin : plugins) {
            if (onDisk)
                makeBundle(plugin.currentPath);
        }
        ASSERT_EQ(db().replaceAllPlugins(plugins), QString());
        vm().refreshAllState();
    }

    bool isEnabledInCatalogue(const AudioPlugin& plugin) const
    {
        const auto rows = m_database->getPluginsByIds({plugin.id});
        return !rows.isEmpty() && rows.first().isEnabled;
    }

    /// A profile file in a folder of H, modified `ageSeconds` ago.
    QString writeProfile(const QString& folder, const QString& name, const QByteArray& text, int ageSeconds = 0) const
    {
        const QString path = usr(folder + u'/' + name);
        writeFile(path, text);
        if (ageSeconds > 0) {
            QFile file(path);
            file.open(QIODevice::ReadWrite);
            file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds), QFileDevice::FileModificationTime);
        }
        return path;
    }

    /// Turns the event loop until the manager stops loading.
    bool settle()
    {
        QDeadlineTimer deadline(10000);
        QCoreApplication::processEvents();
        while (m_manager->isLoading() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
        return !m_manager->isLoading();
    }

    /// The profile most tests read: every state, in the vendor's layout.
    static QByteArray profileText()
    {
        return QByteArrayLiteral("UAD System Profile\r\n"
                                 "UAD-2 Plug-in Authorizations\r\n"
                                 "1176 Classic Limiter Collection: Authorized for all UAD-2 devices\r\n"
                                 "Pultec EQP-1A: Demo expired\r\n"
                                 "Fairchild 670: Demo expired\r\n"
                                 "Lexicon 224 Digital Reverb: Demo, 14 days remaining\r\n"
                                 "Studer A800: Demo not started\r\n"
                                 "Teletronix LA-2A: Authorized\r\n"
                                 "-----\r\n");
    }

    /// The catalogue the profile is matched against: the expired Pultec enabled in two
    /// formats plus its mono variant, the Fairchild already off, the Lexicon on, no Studer.
    QList<AudioPlugin> uadCatalogue() const
    {
        AudioPlugin pultecAU = record(QStringLiteral("UAD Pultec EQP-1A"));
        pultecAU.format = PluginFormat::au;
        pultecAU.originalPath = pultecAU.currentPath =
            sys(QStringLiteral("/Library/Audio/Plug-Ins/Components/UAD Pultec EQP-1A.component"));
        return {pultecAU,
                record(QStringLiteral("UAD Pultec EQP-1A")),
                record(QStringLiteral("UAD Pultec EQP-1A(m)")),
                record(QStringLiteral("UAD Fairchild 670"), false),
                record(QStringLiteral("UAD Lexicon 224")),
                record(QStringLiteral("Other Reverb"), true, QStringLiteral("Acme"))};
    }

    PlatformDoubles m_doubles;
    std::shared_ptr<ManualClock>& clock = m_doubles.clock;
    std::shared_ptr<RecordingRunner>& recorder = m_doubles.recorder;
    std::shared_ptr<SandboxRunner>& sandboxRunner = m_doubles.sandboxRunner;
    std::shared_ptr<ScriptedUADControlPanel>& panel = m_doubles.uadControlPanel;

private:
    ProgressWindowManager m_progress;
    std::unique_ptr<PluginDatabase> m_database;
    std::unique_ptr<ActivityLogManager> m_activityLog;
    std::unique_ptr<PluginManagerViewModel> m_viewModel;
    std::unique_ptr<UADCleanupManager> m_manager;
};
