// Disabling and re-enabling 1,000 bundles of the demo tree through the batch road,
// with the sandbox runner really running the generated script. The script's own time
// is measured inside the same run, so the program's overhead (planning, verification,
// catalogue updates, refresh, log) can be compared with it. Reported, not asserted.

#include "MakeDemoTree/DemoTree.h"
#include "Platform/Paths.h"
#include "Platform/PlatformServices.h"
#include "Platform/testing/MemoryDefaultsStore.h"
#include "Platform/testing/RecordingNotificationCenter.h"
#include "Platform/testing/RecordingProcessLauncher.h"
#include "Platform/testing/RecordingWorkspace.h"
#include "Platform/testing/SandboxRunner.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/PluginDatabase.h"
#include "operations/PluginManagerViewModel.h"
#include "operations/ProgressWindowManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

/// The scan runs on worker threads; the benchmark waits for its result.
void scanAndWait(PluginManagerViewModel& model)
{
    QEventLoop loop;
    bool done = false;
    model.scanForPlugins([&] {
        done = true;
        loop.quit();
    });
    if (!done)
        loop.exec();
}

constexpr int kBundles = 1000;

/// Runs commands through the sandbox runner and adds up the time they take.
class TimingRunner final : public PrivilegedRunner {
public:
    Result run(const QString& shellCommand) override
    {
        QElapsedTimer timer;
        timer.start();
        Result result = m_runner.run(shellCommand);
        m_nanoseconds += timer.nsecsElapsed();
        return result;
    }
    qint64 takeNanoseconds() { return std::exchange(m_nanoseconds, 0); }

private:
    SandboxRunner m_runner;
    qint64 m_nanoseconds = 0;
};

struct Sandbox {
    QTemporaryDir dir;
    QString root;
    QString home;

    Sandbox()
    {
        root = dir.path() + QStringLiteral("/root");
        home = dir.path() + QStringLiteral("/home");
        for (const QString& sub :
             {root, home, dir.path() + QStringLiteral("/data"), dir.path() + QStringLiteral("/tmp")})
            QDir().mkpath(sub);
        qputenv("RACKHAND_SYSTEM_ROOT", root.toUtf8());
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        qputenv("TMPDIR", (dir.path() + QStringLiteral("/tmp")).toUtf8());
    }
};

/// A bundle inside another bundle: what a move onto an occupied name would leave.
int nestedBundles(const QString& folder)
{
    static const QStringList kExtensions = {QStringLiteral(".component"), QStringLiteral(".vst3"),
                                            QStringLiteral(".vst"),       QStringLiteral(".aaxplugin"),
                                            QStringLiteral(".clap"),      QStringLiteral(".bundle")};
    int nested = 0;
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QStringList parts = it.next().mid(folder.size()).split(u'/', Qt::SkipEmptyParts);
        int bundleParts = 0;
        for (const QString& part : parts) {
            for (const QString& extension : kExtensions)
                bundleParts += part.endsWith(extension) ? 1 : 0;
        }
        nested += bundleParts > 1 ? 1 : 0;
    }
    return nested;
}

void BM_BatchDisableEnable(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Sandbox sandbox;
        DemoTree::Options options;
        options.root = sandbox.root;
        options.home = sandbox.home;
        options.count = kBundles + kBundles / 4;
        const DemoTree::Summary summary = DemoTree::write(options);
        if (!summary.error.isEmpty()) {
            state.SkipWithError(summary.error.toStdString().c_str());
            return;
        }

        auto runner = std::make_shared<TimingRunner>();
        PlatformServices services;
        services.privilegedRunner = runner;
        services.notificationCenter = std::make_shared<RecordingNotificationCenter>();
        services.defaults = std::make_shared<MemoryDefaultsStore>();
        services.processLauncher = std::make_shared<RecordingProcessLauncher>();
        services.workspace = std::make_shared<RecordingWorkspace>();
        PluginDatabase database(Paths::dataFile(QStringLiteral("plugins.db")));
        ActivityLogManager activityLog;
        ProgressWindowManager progress;
        PluginManagerViewModel model(database, activityLog, progress, services);
        scanAndWait(model);
        const qsizetype scanned = model.plugins().size();
        QList<AudioPlugin> chosen;
        for (const AudioPlugin& plugin : model.plugins()) {
            if (plugin.isEnabled && chosen.size() < kBundles)
                chosen.append(plugin);
        }
        QSet<QUuid> chosenIds;
        for (const AudioPlugin& plugin : chosen)
            chosenIds.insert(plugin.id);
        state.ResumeTiming();

        QElapsedTimer total;
        total.start();
        model.toggleMultiplePlugins(chosen);
        const bool disableFailed = model.error().has_value();
        QList<AudioPlugin> back;
        for (const AudioPlugin& plugin : model.plugins()) {
            if (chosenIds.contains(plugin.id))
                back.append(plugin);
        }
        model.toggleMultiplePlugins(back);
        const qint64 totalNs = total.nsecsElapsed();
        const qint64 scriptNs = runner->takeNanoseconds();

        state.PauseTiming();
        const bool failed = disableFailed || model.error().has_value();
        scanAndWait(model);
        const int nested = nestedBundles(sandbox.root) + nestedBundles(sandbox.home);
        const qsizetype stray =
            QDir(Paths::tempDir())
                .entryList({QStringLiteral("rackhand_batch_*"), QStringLiteral("rackhand_progress_*")}, QDir::Files)
                .size();
        const double overhead = static_cast<double>(totalNs - scriptNs) / static_cast<double>(scriptNs);
        state.counters["bundles"] = static_cast<double>(chosen.size());
        state.counters["total_s"] = totalNs / 1e9;
        state.counters["script_s"] = scriptNs / 1e9;
        state.counters["overhead_x_script"] = overhead;
        state.counters["nested"] = nested;
        state.counters["stray_temp"] = static_cast<double>(stray);
        std::printf("bundles %lld: total %.3f s, script %.3f s, overhead %.3f s = %.2fx the script; "
                    "scan %lld -> %lld; nested %d; stray temp files %lld; errors %s\n",
                    static_cast<long long>(chosen.size()), totalNs / 1e9, scriptNs / 1e9, (totalNs - scriptNs) / 1e9,
                    overhead, static_cast<long long>(scanned), static_cast<long long>(model.plugins().size()), nested,
                    static_cast<long long>(stray), failed ? "yes" : "none");
        if (failed)
            std::printf("error: %s\n", model.error() ? qPrintable(model.error()->detail.left(400)) : "(first batch)");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BatchDisableEnable)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
