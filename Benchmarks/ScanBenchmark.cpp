// The folder scan against a plain walk of the same tree, and the catalogue writes and
// reads that follow every scan. Targets are reported, not asserted.

#include "DemoTree.h"
#include "PluginDatabase.h"
#include "PluginScanner.h"

#include "Platform/PropertyList.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

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

// (a) What any walk of the tree costs: find stopping at bundles, then one read of each Info.plist.
void BM_BaselineFindAndReadPlists(benchmark::State& state)
{
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    QStringList arguments;
    for (const QString& folder :
         {tree.root + QStringLiteral("/Library/Audio/Plug-Ins"), tree.home + QStringLiteral("/Library/Audio/Plug-Ins"),
          tree.root + QStringLiteral("/Library/Application Support/Avid/Audio"),
          tree.home + QStringLiteral("/Library/Application Support/Avid/Audio"),
          tree.root + QStringLiteral("/Applications/Waves")}) {
        if (QFileInfo::exists(folder))
            arguments << folder;
    }
    arguments << QStringLiteral("(");
    bool first = true;
    for (const char* extension : {"component", "vst3", "vst", "aaxplugin", "clap", "bundle"}) {
        if (!first)
            arguments << QStringLiteral("-o");
        first = false;
        arguments << QStringLiteral("-name") << QStringLiteral("*.") + QLatin1String(extension);
    }
    arguments << QStringLiteral(")") << QStringLiteral("-prune") << QStringLiteral("-print0");

    qsizetype found = 0;
    for (auto _ : state) {
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

// (b) The full scan: walk, metadata, cross-reference and sort.
void BM_ScanAllPlugins(benchmark::State& state)
{
    sandbox(static_cast<int>(state.range(0)));
    PluginScanner scanner;
    for (auto _ : state) {
        scanner.scanAllPlugins();
        benchmark::DoNotOptimize(scanner.discoveredPlugins().size());
    }
    state.counters["records"] = static_cast<double>(scanner.discoveredPlugins().size());
}

// (c) Writing a scan's result into the catalogue.
void BM_ReplaceAllPlugins(benchmark::State& state)
{
    const QList<AudioPlugin>& plugins = scannedPlugins(static_cast<int>(state.range(0)));
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    PluginDatabase database(tree.data + QStringLiteral("/replace.db"));
    for (auto _ : state)
        database.replaceAllPlugins(plugins);
    state.counters["rows"] = static_cast<double>(plugins.size());
}

// (c) What every refresh of the window asks: one filtered, sorted page of 100 and the counts.
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

// Enough repetitions of the large walks for a steady figure.
BENCHMARK(BM_BaselineFindAndReadPlists)
    ->Arg(kSmall)
    ->Arg(kLarge)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.5);
BENCHMARK(BM_ScanAllPlugins)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.5);
BENCHMARK(BM_ReplaceAllPlugins)->Arg(kSmall)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageAndCounts)->Arg(kSmall)->Unit(benchmark::kMillisecond)->UseRealTime();

/// The console table, plus the wall times kept for the side-by-side summary (in ms).
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_ms[run.run_name.function_name + '/' + run.run_name.args] =
                    run.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond)
                    / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double ms(const std::string& name) const
    {
        const auto it = m_ms.find(name);
        return it == m_ms.end() ? -1.0 : it->second;
    }

    void printSummary() const
    {
        std::printf("\nSummary (wall time, warm cache; targets are reported, not asserted)\n");
        for (int count : {kSmall, kLarge}) {
            const double baseline = ms("BM_BaselineFindAndReadPlists/" + std::to_string(count));
            const double scan = ms("BM_ScanAllPlugins/" + std::to_string(count));
            if (baseline > 0 && scan > 0)
                std::printf("  %6d bundles: find + plists %8.1f ms | scan %8.1f ms | scan/baseline %.2f (target <= 1.00) %s\n",
                            count, baseline, scan, scan / baseline, scan / baseline <= 1.0 ? "met" : "MISSED");
        }
        const double small = ms("BM_ScanAllPlugins/" + std::to_string(kSmall));
        const double large = ms("BM_ScanAllPlugins/" + std::to_string(kLarge));
        if (small > 0 && large > 0)
            std::printf("  scan %d/%d time ratio %.2f (target <= 4.50) %s\n", kLarge, kSmall, large / small,
                        large / small <= 4.5 ? "met" : "MISSED");
        const double replace = ms("BM_ReplaceAllPlugins/" + std::to_string(kSmall));
        if (replace > 0)
            std::printf("  replaceAllPlugins of %d rows %.2f ms (target < 25 ms) %s\n", kSmall, replace,
                        replace < 25.0 ? "met" : "MISSED");
        const double page = ms("BM_PageAndCounts/" + std::to_string(kSmall));
        if (page > 0)
            std::printf("  page of 100 + counts over %d rows %.3f ms (target < 5 ms) %s\n", kSmall, page,
                        page < 5.0 ? "met" : "MISSED");
        std::fflush(stdout);
    }

private:
    std::map<std::string, double> m_ms;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
