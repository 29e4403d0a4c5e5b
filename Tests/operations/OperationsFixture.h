#pragma once

#include "Platform/Paths.h"
#include "Support/PlatformDoubles.h"
#include "Support/SandboxTest.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/DisabledLayout.h"
#include "catalogue/PluginDatabase.h"
#include "operations/DisabledOrigins.h"
#include "operations/PluginManagerViewModel.h"
#include "operations/ProgressWindowManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <memory>

/// A sandbox with a fresh catalogue, activity log, progress panel state and platform
/// doubles, and a view model built on them. Tests pick the recording runner (texts, answers) or the sandbox
/// runner (commands really run, unprivileged, inside R).
class OperationsTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        m_activityLog = std::make_unique<ActivityLogManager>(m_clock);
    }

    void TearDown() override
    {
        m_viewModel.reset();
        m_activityLog.reset();
        m_database.reset();
        SandboxTest::TearDown();
    }

    PlatformServices services(std::shared_ptr<PrivilegedRunner> runner) const
    {
        PlatformServices s = m_doubles.services();
        s.privilegedRunner = std::move(runner);
        return s;
    }

    /// The view model, created on first use with the recording runner (or the sandbox runner).
    PluginManagerViewModel& vm(bool reallyRun = false)
    {
        if (!m_viewModel) {
            std::shared_ptr<PrivilegedRunner> runner = reallyRun ? std::shared_ptr<PrivilegedRunner>(m_sandboxRunner)
                                                                 : std::shared_ptr<PrivilegedRunner>(m_recorder);
            m_viewModel =
                std::make_unique<PluginManagerViewModel>(*m_database, *m_activityLog, m_progress, services(runner));
        }
        return *m_viewModel;
    }
    PluginManagerViewModel& sandboxVm() { return vm(true); }
    PluginDatabase& db() { return *m_database; }
    ActivityLogManager& activityLog() const { return *m_activityLog; }
    ProgressWindowManager& progressState() { return m_progress; }
    /// A mover over this world's catalogue, log and panel, as the view model builds one.
    PluginMover mover(std::shared_ptr<PrivilegedRunner> runner)
    {
        return PluginMover(db(), activityLog(), m_progress, services(std::move(runner)),
                           DisabledOrigins::defaultPath());
    }

    static AudioPlugin record(const QString& name, PluginFormat format, const QString& originalPath,
                              const QString& currentPath, bool enabled, const QString& manufacturer = {})
    {
        AudioPlugin plugin;
        plugin.id = QUuid::createUuid();
        plugin.name = name;
        plugin.manufacturer = manufacturer.isEmpty() ? QStringLiteral("Acme") : manufacturer;
        plugin.format = format;
        plugin.originalPath = originalPath;
        plugin.currentPath = currentPath;
        plugin.isEnabled = enabled;
        return plugin;
    }

    /// A bundle on disk with a payload file, and its enabled record (original = current).
    AudioPlugin enabledBundle(const QString& path, PluginFormat format, const QByteArray& payload = "payload")
    {
        makeBundle(path);
        writeFile(path + QStringLiteral("/Contents/MacOS/binary"), payload);
        return record(DisabledLayout::splitFileName(DisabledLayout::fileName(path)).base, format, path, path, true);
    }

    /// Puts these rows into the catalogue and loads them into the view model.
    void seed(const QList<AudioPlugin>& plugins, bool reallyRun = false)
    {
        ASSERT_EQ(db().replaceAllPlugins(plugins), QString());
        vm(reallyRun).refreshAllState();
    }

    AudioPlugin row(const QUuid& id)
    {
        const QList<AudioPlugin> rows = db().getPluginsByIds({id});
        return rows.isEmpty() ? AudioPlugin{} : rows.first();
    }

    /// Relative path -> content hash of every file under a folder (links by target).
    static QMap<QString, QByteArray> treeHash(const QString& folder)
    {
        QMap<QString, QByteArray> hashes;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QFileInfo info(path);
            const QString relative = path.mid(folder.size());
            if (info.isDir())
                hashes.insert(relative, QByteArrayLiteral("<dir>"));
            else
                hashes.insert(relative, QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256));
        }
        return hashes;
    }

    /// Files left in the temporary folder by batch runs.
    static QStringList batchTempFiles()
    {
        return QDir(Paths::tempDir())
            .entryList({QStringLiteral("rackhand_batch_*"), QStringLiteral("rackhand_progress_*")},
                       QDir::Files | QDir::Hidden);
    }

    PlatformDoubles m_doubles;
    std::shared_ptr<ManualClock>& m_clock = m_doubles.clock;
    std::shared_ptr<RecordingRunner>& m_recorder = m_doubles.recorder;
    std::shared_ptr<SandboxRunner>& m_sandboxRunner = m_doubles.sandboxRunner;
    std::shared_ptr<RecordingNotificationCenter>& m_notifications = m_doubles.notifications;
    std::shared_ptr<MemoryDefaultsStore>& m_defaults = m_doubles.defaults;
    std::shared_ptr<RecordingProcessLauncher>& m_launcher = m_doubles.launcher;

private:
    ProgressWindowManager m_progress;
    std::unique_ptr<PluginDatabase> m_database;
    std::unique_ptr<ActivityLogManager> m_activityLog;
    std::unique_ptr<PluginManagerViewModel> m_viewModel;
};
