// The folder scan against plain walks of the same tree (serial and parallel), warm and
// with a cold page cache; the longest pause of a window's repaints while it scans; and
// the catalogue writes and reads that follow every scan. Targets are reported, not asserted.

#include "MakeDemoTree/DemoTree.h"
#include "Platform/Paths.h"
#include "Platform/PlatformServices.h"
#include "Platform/PropertyList.h"
#include "RecordingServices.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/PluginDatabase.h"
#include "catalogue/PluginScanner.h"
#include "catalogue/WorkPool.h"
#include "operations/PluginManagerViewModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSmall = 5000;
constexpr int kLarge = 20000;

/// One demo tree with its own R, H and data folder.
struct Sandbox {
    QTemporaryDir dir;
    QString root;
    QString home;
    QString data;
    int bundles = 0;
};

Sandbox& sandbox(int count)
{
    static std::map<int, std::unique_ptr<Sandbox>> trees;
    std::unique_ptr<Sandbox>& tree = trees[count];
    if (!tree) {
        tree = std::make_unique<Sandbox>();
        tree->root = tree->dir.path() + QStringLiteral("/root");
        tree->home = tree->dir.path() + QStringLiteral("/home");
        tree->data = tree->dir.path() + QStringLiteral("/data");
        QDir().mkpath(tree->data);
        const DemoTree::Options options{tree->root, tree->home, count, 1};
        const DemoTree::Summary summary = DemoTree::write(options);
        if (!summary.error.isEmpty())
            std::fprintf(stderr, "demo tree: %s\n", qPrintable(summary.error));
        tree->bundles = summary.bundles;
    }
    qputenv("RACKHAND_SYSTEM_ROOT", tree->root.toUtf8());
    qputenv("HOME", tree->home.toUtf8());
    qputenv("XDG_DATA_HOME", tree->data.toUtf8());
    return *tree;
}

/// The found records of a tree, scanned once.
const QList<AudioPlugin>& scannedPlugins(int count)
{
    static std::map<int, QList<AudioPlugin>> results;
    auto it = results.find(count);
    if (it == results.end()) {
        sandbox(count);
        PluginScanner scanner;
        scanner.scanAllPlugins();
        it = results.emplace(count, scanner.discoveredPlugins()).first;
    }
    return it->second;
}

/// Empties the page cache so the next walk reads the disk; only root may.
bool dropPageCache()
{
    if (::geteuid() != 0)
        return false;
    ::sync();
    QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
    return control.open(QIODevice::WriteOnly) && control.write("3\n") == 2;
}

/// Before each timed run of a cold case: the cache is dropped outside the timing. False
/// (and the run marked) when that is not possible.
bool startIteration(benchmark::State& state, bool cold)
{
    if (!cold)
        return true;
    state.PauseTiming();
    const bool dropped = dropPageCache();
    state.ResumeTiming();
    if (!dropped)
        state.SkipWithError("cold: not measured");
    return dropped;
}

/// The folders the plain walks start from.
QStringList walkRoots(const Sandbox& tree)
{
    QStringList roots;
    for (const QString& folder :
         {tree.root + QStringLiteral("/Library/Audio/Plug-Ins"), tree.home + QStringLiteral("/Library/Audio/Plug-Ins"),
          tree.root + QStringLiteral("/Library/Application Support/Avid/Audio"),
          tree.home + QStringLiteral("/Library/Application Support/Avid/Audio"),
          tree.root + QStringLiteral("/Applications/Waves")}) {
        if (QFileInfo::exists(folder))
            roots << folder;
    }
    return roots;
}

const char* const kBundleExtensions[] = {"component", "vst3", "vst", "aaxplugin", "clap", "bundle"};

// (a) What any walk of the tree costs: find stopping at bundles, then one read of each Info.plist.
void BM_BaselineFindAndReadPlists(benchmark::State& state)
{
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    const bool cold = state.range(1) != 0;
    QStringList arguments = walkRoots(tree);
    arguments << QStringLiteral("(");
    bool first = true;
    for (const char* extension : kBundleExtensions) {
        if (!first)
            arguments << QStringLiteral("-o");
        first = false;
        arguments << QStringLiteral("-name") << QStringLiteral("*.") + QLatin1String(extension);
    }
    arguments << QStringLiteral(")") << QStringLiteral("-prune") << QStringLiteral("-print0");

    qsizetype found = 0;
    for (auto _ : state) {
        if (!startIteration(state, cold))
            break;
        QProcess find;
        find.start(QStringLiteral("find"), arguments);
        find.waitForFinished(-1);
        const QList<QByteArray> paths = find.readAllStandardOutput().split('\0');
        found = 0;
        for (const QByteArray& path : paths) {
            if (path.isEmpty())
                continue;
            const QVariantMap info = readPropertyList(QString::fromUtf8(path) + QStringLiteral("/Contents/Info.plist"));
            benchmark::DoNotOptimize(info.size());
            ++found;
        }
    }
    state.counters["bundles"] = static_cast<double>(found);
}

bool isBundleName(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    if (!dot)
        return false;
    return std::any_of(std::begin(kBundleExtensions), std::end(kBundleExtensions),
                       [dot](const char* extension) { return std::strcmp(dot + 1, extension) == 0; });
}

/// One folder of the parallel plain walk: bundles are read, folders become tasks.
void walkFolder(WorkPool& pool, const QByteArray& folder, std::atomic<qsizetype>& found)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray path = folder + '/' + entry->d_name;
        if (isBundleName(entry->d_name)) {
            const QVariantMap info = readPropertyList(QFile::decodeName(path) + QStringLiteral("/Contents/Info.plist"));
            benchmark::DoNotOptimize(info.size());
            ++found;
        } else if (entry->d_type == DT_DIR) {
            pool.post([&pool, path, &found] { walkFolder(pool, path, found); });
        }
    }
    ::closedir(dir);
}

// (b) The same work spread over parallel workers: the I/O limit of this machine.
void BM_ParallelFindAndReadPlists(benchmark::State& state)
{
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    const bool cold = state.range(1) != 0;
    const QStringList roots = walkRoots(tree);
    qsizetype found = 0;
    for (auto _ : state) {
        if (!startIteration(state, cold))
            break;
        std::atomic<qsizetype> count{0};
        WorkPool pool(WorkPool::defaultThreadCount());
        for (const QString& root : roots)
            pool.post([&pool, folder = QFile::encodeName(root), &count] { walkFolder(pool, folder, count); });
        pool.wait();
        found = count;
    }
    state.counters["bundles"] = static_cast<double>(found);
    state.counters["threads"] = WorkPool::defaultThreadCount();
}

// (c) The full scan: walk, metadata, cross-reference and sort.
void BM_ScanAllPlugins(benchmark::State& state)
{
    sandbox(static_cast<int>(state.range(0)));
    const bool cold = state.range(1) != 0;
    qsizetype records = 0;
    for (auto _ : state) {
        if (!startIteration(state, cold))
            break;
        const QList<AudioPlugin> found = PluginScanner::scan();
        records = found.size();
    }
    state.counters["records"] = static_cast<double>(records);
}

// Writing a scan's result into the catalogue.
void BM_ReplaceAllPlugins(benchmark::State& state)
{
    const QList<AudioPlugin>& plugins = scannedPlugins(static_cast<int>(state.range(0)));
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    PluginDatabase database(tree.data + QStringLiteral("/replace.db"));
    for (auto _ : state)
        database.replaceAllPlugins(plugins);
    state.counters["rows"] = static_cast<double>(plugins.size());
}

// What every refresh of the window asks: one filtered, sorted page of 100 and the counts.
void BM_PageAndCounts(benchmark::State& state)
{
    const QList<AudioPlugin>& plugins = scannedPlugins(static_cast<int>(state.range(0)));
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    PluginDatabase database(tree.data + QStringLiteral("/page.db"));
    database.replaceAllPlugins(plugins);
    const QString search = QStringLiteral("e");
    const QSet<PluginFormat> formats{PluginFormat::au, PluginFormat::vst3, PluginFormat::clap};
    qsizetype rows = 0;
    for (auto _ : state) {
        const QList<AudioPlugin> page =
            database.queryPlugins({search, formats, {}, {}, QStringLiteral("manufacturer"), true, 100, 100});
        const qint64 total = database.totalCount(search, formats, {}, {});
        const qint64 enabled = database.totalEnabledCount();
        const qint64 disabled = database.totalDisabledCount();
        benchmark::DoNotOptimize(total + enabled + disabled);
        rows = page.size();
    }
    state.counters["pageRows"] = static_cast<double>(rows);
}

/// A window that asks to be painted every few milliseconds and notes when it is.
class RepaintProbe final : public QWidget {
public:
    RepaintProbe()
    {
        resize(800, 600);
        connect(&m_tick, &QTimer::timeout, this, [this] { update(); });
        m_tick.start(2);
        m_clock.start();
    }
    std::vector<qint64> paints; // ns since the probe started

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), (paints.size() % 2) ? Qt::white : Qt::lightGray);
        paints.push_back(m_clock.nsecsElapsed());
    }

public:
    qint64 now() const { return m_clock.nsecsElapsed(); }

private:
    QTimer m_tick;
    QElapsedTimer m_clock;
};

// The longest pause between two repaints of a window while its view model scans (from
// the scan's start until its result is published), cold: while the folders are read and
// the catalogue rewritten on worker threads, then while the result is published.
void BM_RepaintGapWhileScanning(benchmark::State& state)
{
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    const bool cold = state.range(1) != 0;
    auto clock = std::make_shared<ManualClock>();
    const PlatformServices services = recordingServices(clock);
    ActivityLogManager::resetShared(clock);
    QFile::remove(tree.data + QStringLiteral("/gap.db"));
    PluginDatabase database(tree.data + QStringLiteral("/gap.db"));
    PluginManagerViewModel model(database, ActivityLogManager::shared(), services);
    RepaintProbe window;
    window.show();

    // The folders are read on worker threads; the result is then published on the GUI
    // thread (catalogue rewrite, first page, counts). Gaps are told apart by that moment.
    std::atomic<qint64> readDone{0};
    model.setScanWork([&window, &readDone] {
        QList<AudioPlugin> found = PluginScanner::scan();
        readDone = window.now();
        return found;
    });
    std::vector<double> readingGaps;
    double publishGap = 0.0;
    for (auto _ : state) {
        if (!startIteration(state, cold))
            break;
        QEventLoop loop;
        window.paints.clear();
        const qint64 start = window.now();
        model.scanForPlugins([&loop] { loop.quit(); });
        loop.exec();
        const qint64 end = window.now();
        qint64 previous = start;
        for (qint64 paint : window.paints) {
            const double gap = static_cast<double>(paint - previous) / 1e6;
            if (paint <= readDone)
                readingGaps.push_back(gap);
            else
                publishGap = std::max(publishGap, gap);
            previous = paint;
        }
        publishGap = std::max(publishGap, static_cast<double>(end - previous) / 1e6);
    }
    if (!readingGaps.empty()) {
        std::sort(readingGaps.begin(), readingGaps.end());
        state.counters["maxGapMs"] = readingGaps.back();
        state.counters["p99GapMs"] =
            readingGaps[static_cast<size_t>(0.99 * static_cast<double>(readingGaps.size() - 1))];
        state.counters["publishGapMs"] = publishGap;
    }
    state.counters["records"] = static_cast<double>(model.plugins().size());
    ActivityLogManager::resetShared();
}

// Enough repetitions of the warm walks for a steady figure; three runs of each cold one.
void walkArguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"bundles", "cold"});
    for (int count : {kSmall, kLarge})
        b->Args({count, 0});
}
void coldArguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"bundles", "cold"});
    for (int count : {kSmall, kLarge})
        b->Args({count, 1});
}
BENCHMARK(BM_BaselineFindAndReadPlists)
    ->Apply(walkArguments)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.5);
BENCHMARK(BM_ParallelFindAndReadPlists)
    ->Apply(walkArguments)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.5);
BENCHMARK(BM_ScanAllPlugins)->Apply(walkArguments)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.5);
BENCHMARK(BM_BaselineFindAndReadPlists)
    ->Apply(coldArguments)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_ParallelFindAndReadPlists)
    ->Apply(coldArguments)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_ScanAllPlugins)->Apply(coldArguments)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RepaintGapWhileScanning)
    ->ArgNames({"bundles", "cold"})
    ->Args({kLarge, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_ReplaceAllPlugins)->Arg(kSmall)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageAndCounts)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime();

/// The console table, plus the wall times and counters kept for the side-by-side summary.
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            const std::string key = run.run_name.function_name + '/' + run.run_name.args;
            if (run.error_occurred)
                continue;
            m_ms[key] = run.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
                        benchmark::GetTimeUnitMultiplier(run.time_unit);
            for (const auto& [name, counter] : run.counters)
                m_counters[key + ':' + name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printSummary() const
    {
        std::printf("\nSummary (wall time; targets are reported, not asserted)\n");
        for (int cold : {0, 1}) {
            const char* label = cold ? "cold" : "warm";
            for (int count : {kSmall, kLarge}) {
                const std::string args = "bundles:" + std::to_string(count) + "/cold:" + std::to_string(cold);
                const double serial = ms("BM_BaselineFindAndReadPlists/" + args);
                const double parallel = ms("BM_ParallelFindAndReadPlists/" + args);
                const double scan = ms("BM_ScanAllPlugins/" + args);
                if (serial < 0 || parallel < 0 || scan < 0) {
                    std::printf("  %s %6d bundles: %s\n", label, count, cold ? "cold: not measured" : "not measured");
                    continue;
                }
                const double serialTarget = cold ? 0.35 : 0.6;
                std::printf("  %s %6d bundles: (a) find + plists %8.1f ms | (b) parallel %8.1f ms | (c) scan %8.1f ms"
                            " | c/a %.2f (target <= %.2f) %s",
                            label, count, serial, parallel, scan, scan / serial, serialTarget,
                            verdict(scan / serial <= serialTarget));
                if (cold)
                    std::printf(" | c/b %.2f (target <= 1.30) %s", scan / parallel, verdict(scan / parallel <= 1.3));
                std::printf("\n");
            }
            const double small =
                ms("BM_ScanAllPlugins/bundles:" + std::to_string(kSmall) + "/cold:" + std::to_string(cold));
            const double large =
                ms("BM_ScanAllPlugins/bundles:" + std::to_string(kLarge) + "/cold:" + std::to_string(cold));
            if (small > 0 && large > 0)
                std::printf("  %s scan %d/%d time ratio %.2f (target <= 4.50) %s\n", label, kLarge, kSmall,
                            large / small, verdict(large / small <= 4.5));
        }
        const std::string gapKey = "BM_RepaintGapWhileScanning/bundles:" + std::to_string(kLarge) + "/cold:1";
        const double maxGap = counter(gapKey + ":maxGapMs");
        if (maxGap >= 0) {
            std::printf("  longest repaint gap while the folders of %d bundles are read cold: max %.1f ms, p99 %.1f ms"
                        " (target < 50 ms) %s\n",
                        kLarge, maxGap, counter(gapKey + ":p99GapMs"), verdict(maxGap < 50.0));
            const double publish = counter(gapKey + ":publishGapMs");
            std::printf("  then publishing the result on the GUI thread (first page, counts, new plug-ins): %.1f ms"
                        " (target < 50 ms) %s\n",
                        publish, verdict(publish < 50.0));
        } else
            std::printf("  repaint gap while scanning %d bundles cold: cold: not measured\n", kLarge);
        const double replace = ms("BM_ReplaceAllPlugins/" + std::to_string(kSmall));
        if (replace > 0)
            std::printf("  replaceAllPlugins of %d rows %.2f ms (target < 20 ms) %s\n", kSmall, replace,
                        verdict(replace < 20.0));
        const double page = ms("BM_PageAndCounts/" + std::to_string(kLarge));
        if (page > 0)
            std::printf("  page of 100 + counts over %d rows %.3f ms (target < 5 ms) %s\n", kLarge, page,
                        verdict(page < 5.0));
        std::fflush(stdout);
    }

private:
    static const char* verdict(bool met) { return met ? "met" : "MISSED"; }
    double ms(const std::string& name) const
    {
        const auto it = m_ms.find(name);
        return it == m_ms.end() ? -1.0 : it->second;
    }
    double counter(const std::string& name) const
    {
        const auto it = m_counters.find(name);
        return it == m_counters.end() ? -1.0 : it->second;
    }

    std::map<std::string, double> m_ms;
    std::map<std::string, double> m_counters;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
