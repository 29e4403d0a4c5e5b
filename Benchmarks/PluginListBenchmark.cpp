// Plug-in table speed over a 20,000-row catalogue: search to first page, Load All,
// and one scrolled frame. Targets: under 15 ms after the 50 ms search delay, under
// 300 ms for Load All.
#include "Platform/Paths.h"
#include "Platform/PlatformServices.h"
#include "RecordingServices.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/PluginDatabase.h"
#include "operations/PluginManagerViewModel.h"
#include "operations/ProgressWindowManager.h"
#include "pluginlist/PluginListView.h"
#include "pluginlist/PluginTableModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int kCatalogueSize = 20000;
constexpr qint64 kSearchDelayMs = 50;

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<PluginDatabase> database;
    std::unique_ptr<ActivityLogManager> activityLog;
    ProgressWindowManager progress;
    std::unique_ptr<PluginManagerViewModel> viewModel;
    std::unique_ptr<PluginListView> view;

    Fixture()
    {
        qputenv("RACKHAND_SYSTEM_ROOT", (dir.path() + QStringLiteral("/root")).toUtf8());
        qputenv("HOME", (dir.path() + QStringLiteral("/home")).toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        auto clock = std::make_shared<ManualClock>();
        const PlatformServices services = recordingServices(clock);
        Platform::setServices(services);
        activityLog = std::make_unique<ActivityLogManager>(clock);

        database = std::make_unique<PluginDatabase>(Paths::dataFile(QStringLiteral("plugins.db")));
        const QStringList vendors{"FabFilter", "Soundtoys",    "Waves",   "iZotope", "Native Instruments",
                                  "u-he",      "Valhalla DSP", "Arturia", "Softube", "Eventide"};
        QList<AudioPlugin> plugins;
        plugins.reserve(kCatalogueSize);
        for (int i = 0; i < kCatalogueSize; ++i) {
            AudioPlugin p;
            p.id = QUuid::createUuid();
            p.name = QStringLiteral("Plugin %1").arg(i, 5, 10, QLatin1Char('0'));
            p.manufacturer = vendors.at(i % vendors.size());
            p.format = PluginFormats::allCases[size_t(i % 6)];
            p.originalPath = Paths::system(QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + p.name + ".vst3");
            p.currentPath = p.originalPath;
            p.isEnabled = i % 7 != 0;
            p.version = QStringLiteral("1.%1").arg(i % 40);
            if (i % 3 == 0)
                p.lastUsed = clock->now().addDays(-(i % 500));
            plugins.append(p);
        }
        if (const QString failed = database->replaceAllPlugins(plugins); !failed.isEmpty())
            qFatal("The catalogue could not be written: %s", qPrintable(failed));
        viewModel = std::make_unique<PluginManagerViewModel>(*database, *activityLog, progress, services);
        viewModel->refreshAllState();
        view = std::make_unique<PluginListView>(*viewModel);
        view->resize(1000, 700);
        view->show();
        settle();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    /// Paints the table now, as the next frame would.
    void paint() const { view->table()->viewport()->repaint(); }
};

// Torn down in main() while the application object still exists.
std::unique_ptr<Fixture>& fixtureSlot()
{
    static std::unique_ptr<Fixture> instance;
    return instance;
}

Fixture& fixture()
{
    auto& slot = fixtureSlot();
    if (!slot)
        slot = std::make_unique<Fixture>();
    return *slot;
}

// Time from a search-text change to the new first page painted, minus the 50 ms delay
// the view model waits before it reloads.
void BM_SearchToFirstPage(benchmark::State& state)
{
    Fixture& f = fixture();
    int round = 0;
    for (auto _ : state) {
        const QString text = QStringLiteral("Plugin 1%1").arg(round++ % 10);
        bool synced = false;
        const auto connection = QObject::connect(f.view->model(), &PluginTableModel::rowsSynced, f.view.get(),
                                                 [&synced] { synced = true; });
        QElapsedTimer clock;
        clock.start();
        f.viewModel->setSearchText(text);
        while (!synced)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        f.paint();
        const qint64 elapsedNs = clock.nsecsElapsed() - kSearchDelayMs * 1000000;
        QObject::disconnect(connection);
        state.SetIterationTime(double(qMax<qint64>(elapsedNs, 0)) / 1e9);
        if (f.view->model()->rowCount() != PluginManagerViewModel::pageSize)
            state.SkipWithError("the first page is not full");
    }
    f.viewModel->setSearchText(QString());
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 80)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}
BENCHMARK(BM_SearchToFirstPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

// The reload the delay ends in, timed alone: query, model update, paint.
void BM_FirstPageReload(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        f.viewModel->refreshFromDatabase();
        f.paint();
    }
}
BENCHMARK(BM_FirstPageReload)->Unit(benchmark::kMillisecond)->Iterations(30);

// "Load All" pressed to every row in the table, painted at the bottom.
void BM_LoadAll(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.viewModel->refreshFromDatabase();
        f.view->table()->scrollToTop();
        Fixture::settle();
        state.ResumeTiming();
        f.view->loadAllButton()->click();
        f.view->table()->scrollToBottom();
        f.paint();
        if (f.view->model()->rowCount() != kCatalogueSize)
            state.SkipWithError("not every row was loaded");
    }
}
BENCHMARK(BM_LoadAll)->Unit(benchmark::kMillisecond)->Iterations(10);

// One frame of scrolling through all 20,000 loaded rows.
void BM_ScrollFrame(benchmark::State& state)
{
    Fixture& f = fixture();
    f.viewModel->loadAllPages();
    Fixture::settle();
    QScrollBar* bar = f.view->table()->verticalScrollBar();
    int value = 0;
    for (auto _ : state) {
        value = (value + bar->pageStep() / 3) % qMax(1, bar->maximum());
        bar->setValue(value);
        f.paint();
    }
}
BENCHMARK(BM_ScrollFrame)->Unit(benchmark::kMicrosecond)->Iterations(300);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixtureSlot().reset();
    return 0;
}
