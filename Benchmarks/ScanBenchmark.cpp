// Scale: each figure at 5,000, 20,000 and 100,000 bundles, measured side by side with its
// baseline in the same run, and each ratio printed against its target (reported, not asserted).
//
// - warm full scan against a 16-thread walk of the same tree that only reads each Info.plist;
// - replaceAllPlugins (a whole rewrite) and writeScan (a rescan's write, 0, 1 or 1,000 rows
//   changed) against SQLite's bare insert of the same rows into the same schema;
// - page + counts (search "c" and "zzz", sort on format, version and last used, a format filter)
//   against the plain first page;
// - the window, started as a child process of this program over the same tree: longest stall of
//   its event loop until the first rows and until the scan is published, time from start to the
//   first painted rows, and its memory per bundle after the scan.
//
// Cold page-cache runs drop the whole machine's page cache, so they run only when asked for
// (--cold, or RACKHAND_BENCH_COLD=1, as root); otherwise the summary says "cold: not measured".

#include "MakeDemoTree/DemoTree.h"
#include "Platform/Paths.h"
#include "Platform/PlatformServices.h"
#include "Platform/UpdateServer.h"
#include "RecordingServices.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/CatalogueSchema.h"
#include "catalogue/PluginDatabase.h"
#include "catalogue/PluginScanner.h"
#include "catalogue/ProfileManager.h"
#include "catalogue/WorkPool.h"
#include "operations/PluginManagerViewModel.h"
#include "shell/AppDelegate.h"
#include "shell/ContentView.h"
#include "shell/UpdateChecker.h"
#include "shell/WindowState.h"
#include "uadcleanup/UADCleanupManager.h"
#include "widgets/Prompter.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSizes[] = {5000, 20000, 100000};
constexpr int kBaselineThreads = 16;

bool g_cold = false; // --cold or RACKHAND_BENCH_COLD=1

/// One demo tree with its own R, H and data folder.
struct Sandbox {
    QTemporaryDir dir;
    QString root;
    QString home;
    QString data;
    int bundles = 0;
};

void enter(const Sandbox& tree)
{
    qputenv("RACKHAND_SYSTEM_ROOT", tree.root.toUtf8());
    qputenv("HOME", tree.home.toUtf8());
    qputenv("XDG_DATA_HOME", tree.data.toUtf8());
    qputenv("XDG_CONFIG_HOME", (tree.dir.path() + QStringLiteral("/config")).toUtf8());
}

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
        if (count > 0) {
            const DemoTree::Options options{tree->root, tree->home, count, 1};
            const DemoTree::Summary summary = DemoTree::write(options);
            if (!summary.error.isEmpty())
                std::fprintf(stderr, "demo tree: %s\n", qPrintable(summary.error));
            tree->bundles = summary.bundles;
        }
    }
    enter(*tree);
    return *tree;
}

/// Two scans of a tree: the same bundles with different ids, as two scans in a row give.
const QList<AudioPlugin>& scannedPlugins(int count, int which = 0)
{
    static std::map<std::pair<int, int>, QList<AudioPlugin>> results;
    auto it = results.find({count, which});
    if (it == results.end()) {
        sandbox(count);
        it = results.emplace(std::pair{count, which}, PluginScanner::scan()).first;
    }
    return it->second;
}

/// Empties the page cache so the next walk reads the disk; only root may, and only when asked.
bool dropPageCache()
{
    if (!g_cold || ::geteuid() != 0)
        return false;
    ::sync();
    QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
    return control.open(QIODevice::WriteOnly) && control.write("3\n") == 2;
}

/// Before each timed run of a cold case: the cache is dropped outside the timing. False
/// (and the run marked) when that is not possible or not asked for.
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

bool isBundleName(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    if (!dot)
        return false;
    return std::any_of(std::begin(kBundleExtensions), std::end(kBundleExtensions),
                       [dot](const char* extension) { return std::strcmp(dot + 1, extension) == 0; });
}

/// Reads a file whole into a scratch buffer and forgets it.
void readWhole(int atFd, const char* path)
{
    const int fd = ::openat(atFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    char buffer[16384];
    while (::read(fd, buffer, sizeof buffer) > 0) {}
    ::close(fd);
}

/// One folder of the plain parallel walk: each bundle's Info.plist is read, folders become tasks.
void walkFolder(WorkPool& pool, const QByteArray& folder, std::atomic<qsizetype>& found)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (isBundleName(entry->d_name)) {
            const std::string plist = std::string(entry->d_name) + "/Contents/Info.plist";
            readWhole(fd, plist.c_str());
            ++found;
        } else if (entry->d_type == DT_DIR) {
            pool.post([&pool, path = folder + '/' + entry->d_name, &found] { walkFolder(pool, path, found); });
        }
    }
    ::closedir(dir);
}

/// The baseline's walk of the roots on its own pool; the number of bundles met.
qsizetype walkAndRead(const QStringList& roots)
{
    std::atomic<qsizetype> count{0};
    WorkPool pool(kBaselineThreads);
    for (const QString& root : roots)
        pool.post([&pool, folder = QFile::encodeName(root), &count] { walkFolder(pool, folder, count); });
    pool.wait();
    return count;
}

// Baseline of the scan: the least any scan must do, a walk that stops at bundles and reads
// each Info.plist, on 16 threads.
void BM_WalkAndReadBaseline(benchmark::State& state)
{
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    const bool cold = state.range(1) != 0;
    const QStringList roots = walkRoots(tree);
    qsizetype found = 0;
    for (auto _ : state) {
        if (!startIteration(state, cold))
            break;
        found = walkAndRead(roots);
    }
    state.counters["bundles"] = static_cast<double>(found);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The warm scan and its baseline in turns, a walk then a scan each round over the same tree,
// so both meet the same machine: the summary's ratio is of the two medians. Measured apart,
// a minute between them, the two drifted by some 10% on a shared machine.
void BM_ScanBesideWalk(benchmark::State& state)
{
    const Sandbox& tree = sandbox(static_cast<int>(state.range(0)));
    const QStringList roots = walkRoots(tree);
    std::vector<double> walks;
    std::vector<double> scans;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        benchmark::DoNotOptimize(walkAndRead(roots));
        walks.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        benchmark::DoNotOptimize(PluginScanner::scan().size());
        scans.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    state.counters["walkMs"] = median(walks);
    state.counters["scanMs"] = median(scans);
}

// The full scan: walk, metadata, cross-reference and sort, on the scan's own pool.
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

// A rescan written into a catalogue that holds the previous scan (same bundles, new ids).
void BM_ReplaceAllPlugins(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const QList<AudioPlugin>* scans[2] = {&scannedPlugins(count, 0), &scannedPlugins(count, 1)};
    const Sandbox& tree = sandbox(count);
    const QString path = tree.data + QStringLiteral("/replace.db");
    for (const QString& file : {path, path + "-wal", path + "-shm"})
        QFile::remove(file);
    PluginDatabase database(path);
    QString failed = database.replaceAllPlugins(*scans[1]);
    int next = 0;
    for (auto _ : state) {
        if (failed.isEmpty())
            failed = database.replaceAllPlugins(*scans[next]);
        next = 1 - next;
    }
    if (!failed.isEmpty())
        state.SkipWithError(qPrintable(failed));
    state.counters["rows"] = static_cast<double>(scans[0]->size());
}

/// Rows a rescan finds changed in BM_WriteScan (last used moved on, as after a session).
constexpr int kChangedRows[] = {0, 1, 1000};

// A rescan's write into a catalogue that holds the previous scan: the same bundles with new
// ids, `changes` of them changed, as the window writes it after every scan.
void BM_WriteScan(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const int changes = static_cast<int>(state.range(1));
    const QList<AudioPlugin>& previous = scannedPlugins(count, 0);
    const QList<AudioPlugin>& rescan = scannedPlugins(count, 1);
    const Sandbox& tree = sandbox(count);
    const QString path = tree.data + QStringLiteral("/writescan.db");
    for (const QString& file : {path, path + "-wal", path + "-shm"})
        QFile::remove(file);
    QString failed = PluginDatabase(path).replaceAllPlugins(previous);
    const qsizetype stride = std::max<qsizetype>(1, rescan.size() / std::max(changes, 1));
    int round = 0;
    for (auto _ : state) {
        if (!failed.isEmpty())
            break;
        state.PauseTiming();
        QList<AudioPlugin> scan = rescan;
        ++round;
        for (qsizetype i = 0, changed = 0; i < scan.size() && changed < changes; i += stride, ++changed)
            scan[i].lastUsed = QDateTime::fromSecsSinceEpoch(1700000000 + round, Qt::UTC);
        state.ResumeTiming();
        // As the window writes each scan: over a connection of its own, opened for it.
        failed = PluginDatabase(path).writeScan(scan);
    }
    if (!failed.isEmpty())
        state.SkipWithError(qPrintable(failed));
    state.counters["rows"] = static_cast<double>(rescan.size());
}

/// One row as UTF-8, ready to bind.
struct RawRow {
    QByteArray id, name, manufacturer, format, originalPath, currentPath, version, bundleIdentifier;
    int isEnabled;
    double lastUsed;
    bool hasLastUsed;
};

// Baseline of the catalogue write: SQLite's own insert of the same rows, already in UTF-8,
// into an empty table of the same schema (table and indexes), one transaction, one prepared statement.
void BM_BareInsertBaseline(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const QList<AudioPlugin>& plugins = scannedPlugins(count, 0);
    const Sandbox& tree = sandbox(count);
    std::vector<RawRow> rows;
    rows.reserve(static_cast<size_t>(plugins.size()));
    for (const AudioPlugin& p : plugins)
        rows.push_back({uuidString(p.id).toUtf8(), p.name.toUtf8(), p.manufacturer.toUtf8(),
                        PluginFormats::rawValue(p.format).toUtf8(), p.originalPath.toUtf8(), p.currentPath.toUtf8(),
                        p.version.value_or(QString()).toUtf8(), p.bundleIdentifier.value_or(QString()).toUtf8(),
                        p.isEnabled ? 1 : 0, p.lastUsed ? double(p.lastUsed->toMSecsSinceEpoch()) / 1000.0 : 0.0,
                        p.lastUsed.has_value()});
    const QByteArray path = QFile::encodeName(tree.data + QStringLiteral("/bare.db"));
    for (auto _ : state) {
        state.PauseTiming();
        for (const QByteArray& file : {path, path + "-wal", path + "-shm"})
            ::unlink(file.constData());
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
        sqlite3_exec(db, CatalogueSchema::kCreateScript, nullptr, nullptr, nullptr);
        state.ResumeTiming();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, CatalogueSchema::kInsert, -1, &insert, nullptr);
        for (const RawRow& r : rows) {
            const auto text = [insert](int index, const QByteArray& value) {
                sqlite3_bind_text(insert, index, value.constData(), int(value.size()), SQLITE_STATIC);
            };
            text(1, r.id);
            text(2, r.name);
            text(3, r.manufacturer);
            text(4, r.format);
            text(5, r.originalPath);
            text(6, r.currentPath);
            sqlite3_bind_int(insert, 7, r.isEnabled);
            text(8, r.version);
            text(9, r.bundleIdentifier);
            if (r.hasLastUsed)
                sqlite3_bind_double(insert, 10, r.lastUsed);
            else
                sqlite3_bind_null(insert, 10);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(rows.size());
}

/// The page queries a user's typing, sorting and filtering ask for; "plain" is the baseline.
struct PageCase {
    const char* name;
    const char* search;
    const char* sortColumn;
    bool formatFilter;
    bool afterOtherWriter = false; // another connection (a scan) committed just before
};
const PageCase kPageCases[] = {
    {"plain", "", "name", false},           {"search c", "c", "name", false},
    {"search zzz", "zzz", "name", false},   {"sort format", "", "format", false},
    {"sort version", "", "version", false}, {"sort lastUsed", "", "lastUsed", false},
    {"format filter", "", "name", true},    {"first search c after a scan", "c", "name", false, true},
};

// What every refresh of the window asks: one page of 100 and the counts.
void BM_PageAndCounts(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const PageCase& page = kPageCases[state.range(1)];
    const Sandbox& tree = sandbox(count);
    static std::map<int, std::unique_ptr<PluginDatabase>> catalogues;
    std::unique_ptr<PluginDatabase>& database = catalogues[count];
    if (!database) {
        database = std::make_unique<PluginDatabase>(tree.data + QStringLiteral("/page.db"));
        if (const QString failed = database->replaceAllPlugins(scannedPlugins(count, 0)); !failed.isEmpty())
            state.SkipWithError(qPrintable(failed));
    }
    // Each iteration a new question, as each keystroke is: the case alternates (same rows).
    const QString searches[2] = {QString::fromLatin1(page.search), QString::fromLatin1(page.search).toUpper()};
    const QSet<PluginFormat> formats =
        page.formatFilter ? QSet<PluginFormat>{PluginFormat::vst3} : QSet<PluginFormat>{};
    qsizetype rows = 0;
    int iteration = 0;
    std::unique_ptr<PluginDatabase> writer;
    if (page.afterOtherWriter)
        writer = std::make_unique<PluginDatabase>(tree.data + QStringLiteral("/page.db"));
    for (auto _ : state) {
        const QString& search = searches[iteration++ % 2];
        if (writer) {
            // A commit of another connection: everything held in memory is read again.
            state.PauseTiming();
            QString failed = writer->deletePlugins({});
            AudioPlugin first = scannedPlugins(count, 0).first();
            first.isEnabled = iteration % 2 == 0;
            failed += writer->updatePlugins({first});
            if (!failed.isEmpty())
                state.SkipWithError(qPrintable(failed));
            state.ResumeTiming();
        }
        const QList<AudioPlugin> first = database->queryPlugins(
            {search, formats, {}, {}, QString::fromLatin1(page.sortColumn), true, PluginManagerViewModel::pageSize, 0});
        const qint64 total = database->totalCount(search, formats, {}, {});
        const qint64 enabled = database->totalEnabledCount();
        const qint64 disabled = database->totalDisabledCount();
        benchmark::DoNotOptimize(total + enabled + disabled);
        rows = first.size();
    }
    state.counters["pageRows"] = static_cast<double>(rows);
}

/// Registered once the command line is read: cold cases only when asked for.
void registerBenchmarks()
{
    const auto scanCases = [](benchmark::internal::Benchmark* b) {
        b->ArgNames({"bundles", "cold"});
        for (int cold : {0, 1}) {
            if (cold && !g_cold)
                continue;
            for (int count : kSizes)
                b->Args({count, cold});
        }
        b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
    };
    const auto sizes = [](benchmark::internal::Benchmark* b) {
        b->ArgName("bundles");
        for (int count : kSizes)
            b->Arg(count);
        return b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
    };
    scanCases(benchmark::RegisterBenchmark("BM_WalkAndReadBaseline", BM_WalkAndReadBaseline));
    scanCases(benchmark::RegisterBenchmark("BM_ScanAllPlugins", BM_ScanAllPlugins));
    benchmark::internal::Benchmark* beside = benchmark::RegisterBenchmark("BM_ScanBesideWalk", BM_ScanBesideWalk);
    beside->ArgName("bundles");
    for (int count : kSizes)
        beside->Arg(count);
    beside->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
    // A whole write of 100,000 rows takes most of a second, and every second one folds the log back
    // into the file: at least three seconds each, so one slow write of a shared disk does not stand alone.
    sizes(benchmark::RegisterBenchmark("BM_BareInsertBaseline", BM_BareInsertBaseline))->MinTime(3.0);
    sizes(benchmark::RegisterBenchmark("BM_ReplaceAllPlugins", BM_ReplaceAllPlugins))->MinTime(3.0);
    benchmark::internal::Benchmark* writes = benchmark::RegisterBenchmark("BM_WriteScan", BM_WriteScan);
    writes->ArgNames({"bundles", "changed"});
    for (int count : kSizes)
        for (int changed : kChangedRows)
            writes->Args({count, changed});
    writes->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
    benchmark::internal::Benchmark* pages = benchmark::RegisterBenchmark("BM_PageAndCounts", BM_PageAndCounts);
    pages->ArgNames({"bundles", "case"});
    for (int count : kSizes)
        for (int i = 0; i < int(std::size(kPageCases)); ++i)
            pages->Args({count, i});
    pages->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.3);
}

// --- The window, in a child process ---

/// Resident memory of this process, in KB.
qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

/// The child: starts the window as the program does (over recording platform doubles), then
/// prints when its first rows were painted, the longest pause of its event loop until then
/// and until the scan was published, and its memory after the scan.
int windowProbe(int argc, char** argv, const QElapsedTimer& sinceMain)
{
    QApplication app(argc, argv);
    auto clock = std::make_shared<ManualClock>();
    const PlatformServices services = recordingServices(clock);
    services.defaults->setValue(DefaultsStore::standardSuite(), QStringLiteral("onboardingComplete"), true);
    Platform::setServices(services);

    // The event loop's pauses: a 1 ms timer notes every gap between its ticks.
    qint64 lastTick = -1;
    qint64 firstRowsNs = -1;
    qint64 scanDoneNs = -1;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    // Every gap between two ticks, as (start, length); the window is built before the first tick.
    std::vector<std::pair<qint64, qint64>> gaps;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = sinceMain.nsecsElapsed();
        if (scanDoneNs < 0 || firstRowsNs < 0)
            gaps.emplace_back(lastTick, now - lastTick);
        lastTick = now;
    });
    const auto longestFrom = [&gaps](qint64 until) {
        qint64 longest = 0;
        for (const auto& [start, length] : gaps) {
            if (start < until)
                longest = std::max(longest, length);
        }
        return longest;
    };

    PluginManagerViewModel* model = nullptr;
    const std::shared_ptr<Prompter> prompter = Prompts::makeDialogPrompter();
    AppDelegate delegate(services, prompter);
    std::unique_ptr<PluginDatabase> catalogue;
    std::unique_ptr<ActivityLogManager> activityLog;
    std::unique_ptr<UADCleanupManager> uad;
    std::unique_ptr<WindowState> state;
    delegate.setContentFactory([&]() -> QWidget* {
        // AppDelegate::makeContent, with the view model kept at hand.
        catalogue = std::make_unique<PluginDatabase>(Paths::dataFile(QString::fromLatin1(CatalogueSchema::kFileName)));
        activityLog = std::make_unique<ActivityLogManager>(clock);
        uad = std::make_unique<UADCleanupManager>(*catalogue, services.uadControlPanel);
        state = std::make_unique<WindowState>(std::make_unique<PluginManagerViewModel>(
                                                  *catalogue, *activityLog, delegate.progressWindowManager(), services),
                                              delegate.updateChecker(), std::make_unique<ProfileManager>(), *uad);
        model = state->pluginManager.get();
        return new ContentView(*state, *prompter);
    });

    // The first paint of a table that holds rows.
    struct PaintWatch final : QObject {
        std::function<void()> painted;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && painted) {
                auto* view = qobject_cast<QTableView*>(watched->parent());
                if (view && watched == view->viewport() && view->model() && view->model()->rowCount() > 0) {
                    const bool result = QObject::eventFilter(watched, event);
                    painted();
                    return result;
                }
            }
            return QObject::eventFilter(watched, event);
        }
    } watch;
    watch.painted = [&] {
        if (firstRowsNs < 0)
            firstRowsNs = sinceMain.nsecsElapsed();
    };

    bool finished = false;
    const auto checkDone = [&] {
        if (finished || firstRowsNs < 0 || scanDoneNs < 0)
            return;
        finished = true;
        // Let the published result settle (deferred deletes, a last paint), then measure.
        QTimer::singleShot(200, &app, [&] {
            std::printf("probe firstRowsMs=%.1f scanDoneMs=%.1f stallToRowsMs=%.1f stallToScanMs=%.1f rssKb=%lld "
                        "rows=%lld\n",
                        double(firstRowsNs) / 1e6, double(scanDoneNs) / 1e6, double(longestFrom(firstRowsNs)) / 1e6,
                        double(longestFrom(scanDoneNs)) / 1e6, static_cast<long long>(residentKb()),
                        static_cast<long long>(model ? model->plugins().size() : -1));
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    };

    ticker.start();
    lastTick = sinceMain.nsecsElapsed();
    delegate.applicationDidFinishLaunching();
    // The window's columns are built over its first turns: every table's paints are watched.
    app.installEventFilter(&watch);
    watch.painted = [&] {
        if (firstRowsNs < 0)
            firstRowsNs = sinceMain.nsecsElapsed();
        checkDone();
    };
    if (model) {
        // The table, as after a press of "All Plugins" (the window opens on a placeholder).
        model->setShowAllPlugins(true);
        QObject::connect(model, &PluginManagerViewModel::scanFinished, &app, [&] {
            scanDoneNs = sinceMain.nsecsElapsed();
            // An empty tree paints no rows: the scan's end stands in for them.
            if (model->plugins().isEmpty() && firstRowsNs < 0)
                firstRowsNs = scanDoneNs;
            checkDone();
        });
    }
    QTimer::singleShot(120000, &app, [] { QCoreApplication::exit(2); });
    return QApplication::exec();
}

struct ProbeResult {
    double firstRowsMs = -1, scanDoneMs = -1, stallToRowsMs = -1, stallToScanMs = -1;
    qint64 rssKb = -1, rows = -1;
    bool ok = false;
};

ProbeResult runProbe(const char* self, const Sandbox& tree)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RACKHAND_SYSTEM_ROOT"), tree.root);
    env.insert(QStringLiteral("HOME"), tree.home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), tree.data);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), tree.dir.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Nothing answers there: the update check fails at once and never leaves the machine.
    env.insert(QString::fromLatin1(UpdateServer::kAddressVariable), QStringLiteral("http://127.0.0.1:9"));
    child.setProcessEnvironment(env);
    child.start(QString::fromLocal8Bit(self), {QStringLiteral("--window-probe")});
    child.waitForFinished(180000);
    ProbeResult result;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("probe "))
            continue;
        for (const QByteArray& field : line.mid(6).split(' ')) {
            const QList<QByteArray> pair = field.split('=');
            if (pair.size() != 2)
                continue;
            const double value = pair[1].toDouble();
            if (pair[0] == "firstRowsMs")
                result.firstRowsMs = value;
            else if (pair[0] == "scanDoneMs")
                result.scanDoneMs = value;
            else if (pair[0] == "stallToRowsMs")
                result.stallToRowsMs = value;
            else if (pair[0] == "stallToScanMs")
                result.stallToScanMs = value;
            else if (pair[0] == "rssKb")
                result.rssKb = static_cast<qint64>(value);
            else if (pair[0] == "rows")
                result.rows = static_cast<qint64>(value);
        }
        result.ok = true;
    }
    return result;
}

/// The median run of three, by time to the first rows.
ProbeResult medianProbe(const char* self, const Sandbox& tree, bool firstStart)
{
    std::vector<ProbeResult> runs;
    for (int i = 0; i < 3; ++i) {
        if (firstStart) {
            for (const QString& file : QDir(tree.data + QStringLiteral("/Rackhand")).entryList(QDir::Files))
                QFile::remove(tree.data + QStringLiteral("/Rackhand/") + file);
        }
        runs.push_back(runProbe(self, tree));
    }
    std::sort(runs.begin(), runs.end(),
              [](const ProbeResult& a, const ProbeResult& b) { return a.firstRowsMs < b.firstRowsMs; });
    return runs[1];
}

/// The console table, plus the wall times kept for the side-by-side summary.
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string key = run.run_name.function_name + '/' + run.run_name.args;
            m_ms[key] = run.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
                        benchmark::GetTimeUnitMultiplier(run.time_unit);
            for (const auto& [counter, value] : run.counters)
                m_ms[key + '#' + counter] = value.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double ms(const std::string& name) const
    {
        const auto it = m_ms.find(name);
        return it == m_ms.end() ? -1.0 : it->second;
    }

private:
    std::map<std::string, double> m_ms;
};

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void printSummary(const SummaryReporter& r, const char* self, bool window)
{
    std::printf("\nSummary (wall time, side by side in this run; targets are reported, not asserted)\n");
    std::printf("scan, warm: full scan (c) against a %d-thread walk that reads each Info.plist (b), in turns "
                "(medians)\n",
                kBaselineThreads);
    for (int count : kSizes) {
        const std::string args = "BM_ScanBesideWalk/bundles:" + std::to_string(count);
        const double walk = r.ms(args + "#walkMs");
        const double scan = r.ms(args + "#scanMs");
        if (walk > 0 && scan > 0)
            std::printf("  %6d bundles: (b) %7.1f ms | (c) %7.1f ms | c/b %.2f (target <= 1.50) %s\n", count, walk,
                        scan, scan / walk, verdict(scan / walk <= 1.5));
    }
    for (int count : kSizes) {
        const std::string args = "bundles:" + std::to_string(count) + "/cold:1";
        const double walk = r.ms("BM_WalkAndReadBaseline/" + args);
        const double scan = r.ms("BM_ScanAllPlugins/" + args);
        if (walk > 0 && scan > 0)
            std::printf("  cold %6d bundles: (b) %7.1f ms | (c) %7.1f ms | c/b %.2f\n", count, walk, scan, scan / walk);
        else if (!g_cold)
            std::printf("  cold %6d bundles: cold: not measured\n", count);
    }
    std::printf("catalogue rewrite: replaceAllPlugins of a rescan (r) against SQLite's bare insert (i)\n");
    for (int count : kSizes) {
        const std::string args = "bundles:" + std::to_string(count);
        const double bare = r.ms("BM_BareInsertBaseline/" + args);
        const double replace = r.ms("BM_ReplaceAllPlugins/" + args);
        if (bare > 0 && replace > 0) {
            std::printf("  %6d rows: (i) %7.1f ms | (r) %7.1f ms | r/i %.2f (target <= 1.50) %s", count, bare, replace,
                        replace / bare, verdict(replace / bare <= 1.5));
            if (count == 100000)
                std::printf(" | r %.3f s (target <= 0.300 s) %s", replace / 1000, verdict(replace <= 300));
            std::printf("\n");
        }
    }
    std::printf("catalogue write of a rescan: writeScan with 0 / 1 / 1,000 rows changed (w) against the bare insert "
                "(i)\n");
    for (int count : kSizes) {
        const std::string args = "bundles:" + std::to_string(count);
        const double bare = r.ms("BM_BareInsertBaseline/" + args);
        std::printf("  %6d rows:", count);
        for (int changed : kChangedRows) {
            const double write = r.ms("BM_WriteScan/" + args + "/changed:" + std::to_string(changed));
            if (write < 0 || bare <= 0)
                continue;
            std::printf(" %d changed %.1f ms, w/i %.2f %s", changed, write, write / bare, verdict(write / bare <= 1.5));
            if (count == 100000)
                std::printf(" (<= 0.300 s %s)", verdict(write <= 300));
            std::printf(";");
        }
        std::printf("\n");
    }
    std::printf("page of 100 + counts (target <= 10 ms at 100,000 rows), beside the plain first page\n");
    for (int count : kSizes) {
        std::printf("  %6d rows:", count);
        const double plain = r.ms("BM_PageAndCounts/bundles:" + std::to_string(count) + "/case:0");
        for (int i = 0; i < int(std::size(kPageCases)); ++i) {
            const double value =
                r.ms("BM_PageAndCounts/bundles:" + std::to_string(count) + "/case:" + std::to_string(i));
            if (value < 0)
                continue;
            std::printf(" %s %.2f ms", kPageCases[i].name, value);
            if (i > 0 && plain > 0)
                std::printf(" (%.1fx)", value / plain);
            if (count == 100000 && i > 0)
                std::printf(" %s", verdict(value <= 10.0));
            std::printf(";");
        }
        std::printf("\n");
    }
    if (!window) {
        std::printf("window: not measured (filtered out)\n");
        return;
    }
    std::printf("window, warm, started as a child process (median of three runs each)\n");
    const ProbeResult empty = medianProbe(self, sandbox(0), true);
    std::printf("  empty tree (baseline): first start to scan published %.1f ms, longest stall %.1f ms, %lld KB\n",
                empty.scanDoneMs, empty.stallToScanMs, static_cast<long long>(empty.rssKb));
    for (int count : kSizes) {
        const Sandbox& tree = sandbox(count);
        const ProbeResult first = medianProbe(self, tree, true);
        const ProbeResult again = medianProbe(self, tree, false);
        if (!first.ok || !again.ok) {
            std::printf("  %6d bundles: the window did not report\n", count);
            continue;
        }
        const double perBundle = double(again.rssKb - empty.rssKb) * 1024.0 / double(std::max<qint64>(again.rows, 1));
        std::printf("  %6d bundles, first start (empty catalogue): first rows %.0f ms (target <= 1000) %s, longest "
                    "stall until then %.1f ms (target <= 50) %s\n",
                    count, first.firstRowsMs, verdict(first.firstRowsMs <= 1000), first.stallToRowsMs,
                    verdict(first.stallToRowsMs <= 50));
        std::printf("  %6d bundles, next start (catalogue kept): first rows %.0f ms (target <= 1000) %s, longest stall "
                    "until then %.1f ms (target <= 50) %s; scan published at %.0f ms, longest stall until then %.1f ms "
                    "%s\n",
                    count, again.firstRowsMs, verdict(again.firstRowsMs <= 1000), again.stallToRowsMs,
                    verdict(again.stallToRowsMs <= 50), again.scanDoneMs, again.stallToScanMs,
                    verdict(again.stallToScanMs <= 50));
        std::printf("  %6d bundles, memory after the scan: %lld KB, %.0f bytes per bundle above the empty window "
                    "(target <= 1024) %s\n",
                    count, static_cast<long long>(again.rssKb), perBundle, verdict(perBundle <= 1024));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--window-probe") == 0)
        return windowProbe(argc, argv, sinceMain);

    std::vector<char*> arguments;
    bool window = true;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cold") == 0)
            g_cold = true;
        else if (std::strcmp(argv[i], "--no-window") == 0)
            window = false;
        else
            arguments.push_back(argv[i]);
    }
    g_cold = g_cold || qEnvironmentVariableIntValue("RACKHAND_BENCH_COLD") == 1;
    int count = static_cast<int>(arguments.size());
    QApplication app(count, arguments.data());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    registerBenchmarks();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter, argv[0], window);
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
