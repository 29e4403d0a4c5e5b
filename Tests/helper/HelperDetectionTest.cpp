#include "MenuBarHelper/KnownPluginsStore.h"
#include "MenuBarHelper/PluginFolders.h"
#include "Platform/RackhandBus.h"
#include "Platform/linux/InotifyFolderWatcher.h"
#include "Support/Eventually.h"
#include "helper/HelperFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/time.h>

namespace {

const QString kVst3 = QStringLiteral("/Library/Audio/Plug-Ins/VST3");
const QString kDisabled = QStringLiteral("/Library/Audio/Plug-Ins/Disabled");

QSet<QString> storedKeys(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QSet<QString> keys;
    for (const QJsonValue value : QJsonDocument::fromJson(file.readAll()).array())
        keys.insert(value.toString());
    return keys;
}

} // namespace

using HelperDetectionTest = HelperTest;

TEST_F(HelperDetectionTest, FolderTagsComeFromTheFolderTableOnly)
{
    const struct {
        const char* format;
        const char* tag;
    } rows[] = {{"Audio Units", "AU"}, {"VST3", "VST3"}, {"VST", "VST"},
                {"AAX", "AAX"},        {"CLAP", "CLAP"}, {"Waves", "Unknown"}};
    for (const auto& row : rows)
        EXPECT_EQ(PluginFolders::formatTag(QLatin1String(row.format)), QString::fromLatin1(row.tag)) << row.format;

    // A sandbox root whose own name holds "VST" or "Components" does not change a tag.
    qputenv("RACKHAND_SYSTEM_ROOT", (root() + QStringLiteral("/VST-Components")).toUtf8());
    QStringList tags;
    for (const PluginFolders::Folder& folder : PluginFolders::pluginDirectories())
        tags.append(folder.tag);
    EXPECT_EQ(tags, (QStringList{QStringLiteral("AU"), QStringLiteral("VST3"), QStringLiteral("VST"),
                                 QStringLiteral("AAX"), QStringLiteral("CLAP"), QStringLiteral("AU"),
                                 QStringLiteral("VST3"), QStringLiteral("VST")}));
}

TEST_F(HelperDetectionTest, ScansMakeKeys)
{
    install(QStringLiteral("/Library/Audio/Plug-Ins/CLAP"), QStringLiteral("Surge.clap"));
    install(QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins"), QStringLiteral("Pro.aaxplugin"));
    install(QStringLiteral("/Library/Audio/Plug-Ins/Components"), QStringLiteral("Mine.component"), true);
    install(QStringLiteral("/Library/Audio/Plug-Ins/Components"), QStringLiteral(".hidden.component"));
    writeFile(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST/readme.txt")), "x");
    install(kDisabled, QStringLiteral("VST3/Old.vst3"));
    install(kDisabled, QStringLiteral("Notes.folder"));
    install(kDisabled, QStringLiteral(".Trash/Gone.vst3"));
    EXPECT_EQ(PluginFolders::scanPluginDirectories(PluginFolders::pluginDirectories()),
              (QSet<QString>{QStringLiteral("Surge|CLAP"), QStringLiteral("Pro|AAX"), QStringLiteral("Mine|AU"),
                             QStringLiteral("readme|VST")}));
    EXPECT_EQ(PluginFolders::scanDisabledDirectories(PluginFolders::disabledDirectories()),
              (QSet<QString>{QStringLiteral("Old|VST3")}));
}

TEST_F(HelperDetectionTest, FirstRunSeedsWithoutANotice)
{
    install(kVst3, QStringLiteral("Foo.vst3"));
    install(kDisabled, QStringLiteral("VST3/Off.vst3"));
    start();
    EXPECT_TRUE(notifier->sent().isEmpty());
    EXPECT_EQ(center->count(QString::fromLatin1(RackhandBus::kNewPluginsDetected)), 0);
    EXPECT_EQ(storedKeys(knownFile()), QSet<QString>{QStringLiteral("Foo|VST3")});
    EXPECT_EQ(delegate->lastKnownAllPluginKeys(),
              (QSet<QString>{QStringLiteral("Foo|VST3"), QStringLiteral("Off|VST3")}));
    EXPECT_TRUE(watcher->isRunning());
    // The folders of the layout, existing or not, and the disabled folder's format folder;
    // never a bundle.
    QStringList layout;
    for (const PluginFolders::Folder& folder : PluginFolders::pluginDirectories())
        layout.append(folder.path);
    layout += PluginFolders::disabledDirectories();
    layout.append(sys(kDisabled + QStringLiteral("/VST3")));
    EXPECT_EQ(watcher->folders(), layout);
}

TEST_F(HelperDetectionTest, TheWatchIsArmedBeforeTheFoldersAreListed)
{
    // Listed first, a bundle installed before the watch was armed would be in neither.
    install(kVst3, QStringLiteral("Foo.vst3"));
    bool listedBeforeTheWatch = true;
    watcher->onStart = [&] { listedBeforeTheWatch = QFileInfo::exists(knownFile()); };
    start();
    EXPECT_FALSE(listedBeforeTheWatch);
    EXPECT_EQ(storedKeys(knownFile()), QSet<QString>{QStringLiteral("Foo|VST3")});
}

TEST_F(HelperDetectionTest, InstallWhileStoppedIsAnnouncedByTheFirstRescan)
{
    install(kVst3, QStringLiteral("Foo.vst3"));
    start();
    delegate.reset();
    install(kVst3, QStringLiteral("Bar.vst3"));
    start();
    EXPECT_TRUE(notifier->sent().isEmpty()) << "nothing is announced at start-up";
    watcher->fire();
    QTest::qWait(0);
    EXPECT_TRUE(notifier->sent().isEmpty()) << "the debounce has not run out yet";
    delegate->onDirectoryChanged();
    ASSERT_EQ(notifier->sent().size(), 1);
    EXPECT_EQ(notifier->sent().first().title, QStringLiteral("Rackhand — New Plugins Detected"));
    EXPECT_EQ(notifier->sent().first().body, QStringLiteral("Bar was installed. Open Rackhand to manage it."));
}

TEST_F(HelperDetectionTest, OneNoticeSignalAndFileUpdatePerInstall)
{
    install(kVst3, QStringLiteral("Foo.vst3"));
    start();
    QSignalSpy menuChanges(delegate.get(), &MenuBarAppDelegate::menuChanged);
    install(kVst3, QStringLiteral("Zed.vst3"));
    install(QStringLiteral("/Library/Audio/Plug-Ins/Components"), QStringLiteral("Zed.component"));
    delegate->onDirectoryChanged();

    ASSERT_EQ(notifier->sent().size(), 1);
    EXPECT_EQ(notifier->sent().first().body,
              QStringLiteral("2 new plugins installed: Zed, Zed. Open Rackhand to manage them."));
    ASSERT_EQ(center->count(QString::fromLatin1(RackhandBus::kNewPluginsDetected)), 1);
    EXPECT_EQ(center->posted().last().userInfo.value(QStringLiteral("count")).toInt(), 2);
    EXPECT_EQ(storedKeys(knownFile()),
              (QSet<QString>{QStringLiteral("Foo|VST3"), QStringLiteral("Zed|VST3"), QStringLiteral("Zed|AU")}));
    EXPECT_TRUE(titles().contains(QStringLiteral("🆕 2 new plugin(s) detected")));
    EXPECT_EQ(titles().count(QStringLiteral("   • Zed")), 2);
    EXPECT_EQ(titles().value(1), QStringLiteral("3 plugins enabled"));
    EXPECT_EQ(menuChanges.size(), 1);
    EXPECT_TRUE(printedLines().contains(QStringLiteral("🔌 [Rackhand] FSEvent fired — active: 3, knownAll: 1, new: 2")));

    // The same state again: nothing new.
    delegate->onDirectoryChanged();
    EXPECT_EQ(notifier->sent().size(), 1);
    EXPECT_EQ(center->count(QString::fromLatin1(RackhandBus::kNewPluginsDetected)), 1);
}

TEST_F(HelperDetectionTest, DisableAndEnableAgainIsNotAnnounced)
{
    install(kVst3, QStringLiteral("Foo.vst3"));
    start();
    QDir().mkpath(sys(kDisabled + QStringLiteral("/VST3")));
    ASSERT_TRUE(
        QDir().rename(sys(kVst3 + QStringLiteral("/Foo.vst3")), sys(kDisabled + QStringLiteral("/VST3/Foo.vst3"))));
    delegate->onDirectoryChanged();
    EXPECT_EQ(titles().value(1), QStringLiteral("No plugins found"));
    ASSERT_TRUE(
        QDir().rename(sys(kDisabled + QStringLiteral("/VST3/Foo.vst3")), sys(kVst3 + QStringLiteral("/Foo.vst3"))));
    delegate->onDirectoryChanged();
    EXPECT_TRUE(notifier->sent().isEmpty());
    EXPECT_EQ(center->count(QString::fromLatin1(RackhandBus::kNewPluginsDetected)), 0);
}

TEST_F(HelperDetectionTest, ManualCheck)
{
    install(kVst3, QStringLiteral("Foo.vst3"));
    start();
    delegate->checkForNewPlugins();
    ASSERT_EQ(notifier->sent().size(), 1);
    EXPECT_EQ(notifier->sent().first().title, QStringLiteral("Rackhand"));
    EXPECT_EQ(notifier->sent().first().body, QStringLiteral("No new plugins detected."));

    const qint64 count = delegate->totalPluginCount();
    install(kVst3, QStringLiteral("Bar.vst3"));
    delegate->checkForNewPlugins();
    ASSERT_EQ(notifier->sent().size(), 2);
    EXPECT_EQ(notifier->sent().last().body, QStringLiteral("Bar was installed. Open Rackhand to manage it."));
    EXPECT_TRUE(titles().contains(QStringLiteral("   • Bar")));
    EXPECT_EQ(delegate->totalPluginCount(), count) << "the manual check leaves the count alone";
    EXPECT_EQ(center->count(QString::fromLatin1(RackhandBus::kNewPluginsDetected)), 0);
    EXPECT_TRUE(storedKeys(knownFile()).contains(QStringLiteral("Bar|VST3")));
}

TEST_F(HelperDetectionTest, KnownFileThatCannotBeReadIsKeptAside)
{
    const struct {
        const char* name;
        QByteArray bytes;
    } rows[] = {{"corrupt", "[\"Foo|VST3\""}, {"object", "{\"a\": 1}"}, {"numbers", "[1, 2]"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(dataDir()).removeRecursively();
        writeFile(knownFile(), row.bytes);
        install(kVst3, QStringLiteral("Foo.vst3"));
        start();
        const QStringList aside =
            QDir(dataDir()).entryList({QStringLiteral("menubar_known_plugins.json.unreadable-*")}, QDir::Files);
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(dataDir() + QLatin1Char('/') + aside.first()), row.bytes);
        EXPECT_TRUE(printedLines().contains(QStringLiteral("🔌 [Rackhand] ⚠️ Could not read ") + knownFile() +
                                            QStringLiteral(", kept it as ") + dataDir() + QLatin1Char('/') +
                                            aside.first()))
            << printedLines().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(storedKeys(knownFile()), QSet<QString>{QStringLiteral("Foo|VST3")});
        EXPECT_TRUE(notifier->sent().isEmpty());
    }
}

TEST_F(HelperDetectionTest, KnownFileIsAFifo)
{
    makeDir(dataDir());
    ASSERT_EQ(::mkfifo(QFile::encodeName(knownFile()).constData(), 0600), 0);
    install(kVst3, QStringLiteral("Foo.vst3"));
    start(); // must not block on the pipe
    EXPECT_EQ(storedKeys(knownFile()), QSet<QString>{QStringLiteral("Foo|VST3")});
}

TEST_F(HelperDetectionTest, AFailedSaveIsReportedAndTheStateKept)
{
    install(kVst3, QStringLiteral("Foo.vst3"));
    start();
    // A folder where the file belongs: the save fails, the helper says so and carries on.
    const QByteArray before = readFile(knownFile());
    QFile::remove(knownFile());
    makeDir(knownFile());
    install(kVst3, QStringLiteral("Bar.vst3"));
    delegate->onDirectoryChanged();
    EXPECT_TRUE(QFileInfo(knownFile()).isDir());
    EXPECT_TRUE(delegate->lastKnownPluginKeys().contains(QStringLiteral("Bar|VST3")));
    EXPECT_FALSE(before.isEmpty());
    EXPECT_TRUE(std::any_of(printedLines().begin(), printedLines().end(), [](const QString& line) {
        return line.startsWith(QStringLiteral("🔌 [Rackhand] Could not save"));
    }));
}

TEST_F(HelperDetectionTest, CountFollowsTheCatalogue)
{
    writeCatalogue(5);
    start();
    EXPECT_EQ(titles().value(1), QStringLiteral("5 plugins enabled"));
    QSignalSpy menuChanges(delegate.get(), &MenuBarAppDelegate::menuChanged);

    // The timer: the same count does not rebuild; a new one does without moving "Last checked".
    clock->advance(120);
    delegate->synchroniseCount();
    EXPECT_EQ(menuChanges.size(), 0);
    writeCatalogue(7, 1);
    delegate->synchroniseCount();
    EXPECT_EQ(menuChanges.size(), 1);
    EXPECT_EQ(titles().value(1), QStringLiteral("7 plugins enabled"));
    EXPECT_EQ(titles().value(2), QStringLiteral("Last checked: 2m ago"));

    // Every plug-in disabled: a real 0.
    writeCatalogue(0, 8);
    delegate->synchroniseCount();
    EXPECT_EQ(titles().value(1), QStringLiteral("No plugins found"));

    // The main application's announcement: read at once, "Last checked" moves.
    writeCatalogue(3);
    center->post(QString::fromLatin1(RackhandBus::kPluginCountChanged));
    EXPECT_EQ(titles().value(1), QStringLiteral("3 plugins enabled"));
    EXPECT_EQ(titles().value(2), QStringLiteral("Last checked: just now"));

    // A failed read keeps what was shown, "Last checked" included.
    QFile::remove(dataDir() + QStringLiteral("/plugins.db"));
    writeFile(dataDir() + QStringLiteral("/plugins.db"), "not a database");
    clock->advance(600);
    center->post(QString::fromLatin1(RackhandBus::kPluginCountChanged));
    delegate->synchroniseCount();
    EXPECT_EQ(delegate->totalPluginCount(), 3);
    delegate->rebuildMenu();
    EXPECT_EQ(titles().value(1), QStringLiteral("3 plugins enabled"));
    EXPECT_EQ(titles().value(2), QStringLiteral("Last checked: 10m ago"));
}

TEST_F(HelperDetectionTest, CountTimerRunsEveryTenSeconds)
{
    start();
    const QList<QTimer*> timers = delegate->findChildren<QTimer*>();
    const bool found = std::any_of(timers.begin(), timers.end(), [](const QTimer* timer) {
        return timer->isActive() && timer->interval() == 10'000 && !timer->isSingleShot();
    });
    EXPECT_TRUE(found);
    EXPECT_TRUE(std::any_of(timers.begin(), timers.end(), [](const QTimer* timer) {
        return timer->isActive() && timer->interval() == 1'209'600'000;
    }));
}

// A real inotify watch over a temporary folder, with short latencies.
class InotifyDetectionTest : public HelperTest {
protected:
    /// `watchLimit` watches at most (negative: the system's limit), as a low max_user_watches would.
    void startWithInotify(int watchLimit = -1)
    {
        install(kVst3, QStringLiteral("Foo.vst3"));
        real = std::make_shared<InotifyFolderWatcher>(
            [watchLimit, granted = 0](int fd, const char* path, quint32 mask) mutable {
                if (watchLimit >= 0 && granted >= watchLimit) {
                    errno = ENOSPC;
                    return -1;
                }
                ++granted;
                return ::inotify_add_watch(fd, path, mask);
            });
        PlatformServices withInotify = services();
        withInotify.folderWatcher = real;
        delegate = makeDelegate(withInotify);
        delegate->setWatchTiming(100, 100);
        delegate->applicationDidFinishLaunching();
    }
    std::shared_ptr<InotifyFolderWatcher> real;
};

TEST_F(InotifyDetectionTest, WatchesFollowTheFoldersOfTheLayoutNotTheBundles)
{
    // 2,500 bundles of three folders each: eight active folders, the central disabled folder
    // with four format folders, and both unused AAX folders.
    const auto bundles = [this](const QString& folder, const char* extension, int count, bool inHome = false) {
        for (int i = 0; i < count; ++i)
            install(folder, QStringLiteral("Plug %1.%2/Contents/MacOS").arg(i).arg(QLatin1String(extension)), inHome);
    };
    const QString components = QStringLiteral("/Library/Audio/Plug-Ins/Components");
    const QString vst = QStringLiteral("/Library/Audio/Plug-Ins/VST");
    const QString unused = QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins (Unused)");
    for (const bool inHome : {false, true}) {
        bundles(components, "component", 250, inHome);
        bundles(kVst3, "vst3", 250, inHome);
        bundles(vst, "vst", 250, inHome);
        bundles(unused, "aaxplugin", 50, inHome);
    }
    bundles(QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins"), "aaxplugin", 250);
    bundles(QStringLiteral("/Library/Audio/Plug-Ins/CLAP"), "clap", 250);
    for (const char* format : {"Audio Units", "VST3", "VST", "CLAP"})
        bundles(kDisabled + QLatin1Char('/') + QLatin1String(format), "vst3", 50);
    startWithInotify();

    EXPECT_EQ(real->watchedFolderCount(), 8 + 3 + 4);
    EXPECT_TRUE(real->listedFolders().isEmpty());
    // A format folder the disabled layout gains later is watched from the next rescan on.
    install(kDisabled, QStringLiteral("AAX"));
    RACKHAND_ASSERT_EVENTUALLY_EQ(real->watchedFolderCount(), 8 + 3 + 5, 5000);
    EXPECT_TRUE(notifier->sent().isEmpty());
    install(kVst3, QStringLiteral("Fresh.vst3"));
    RACKHAND_ASSERT_EVENTUALLY_EQ(notifier->sent().size(), 1, 5000);
}

TEST_F(InotifyDetectionTest, UnderALowWatchLimitAnInstallIsAnnouncedInEveryFolder)
{
    // Two watches for eleven folders of the layout, most of which do not exist yet.
    startWithInotify(2);
    ASSERT_EQ(real->watchedFolderCount(), 1);
    int announced = 0;
    for (const PluginFolders::Folder& folder : PluginFolders::pluginDirectories()) {
        SCOPED_TRACE(folder.path.toStdString());
        const QString name = QStringLiteral("New %1").arg(announced);
        makeDir(folder.path + QLatin1Char('/') + name + QStringLiteral(".bundle"));
        ++announced;
        RACKHAND_ASSERT_EVENTUALLY_EQ(notifier->sent().size(), announced, 5000);
        EXPECT_EQ(notifier->sent().last().body, name + QStringLiteral(" was installed. Open Rackhand to manage it."));
    }
    EXPECT_EQ(real->watchedFolderCount(), 2);
    EXPECT_EQ(center->count(QString::fromLatin1(RackhandBus::kNewPluginsDetected)), announced);
}

TEST_F(InotifyDetectionTest, NewBundleIsAnnouncedOnce)
{
    startWithInotify();
    QSignalSpy rescans(delegate.get(), &MenuBarAppDelegate::menuChanged);
    // An installer writes a bundle in several steps.
    install(kVst3, QStringLiteral("New.vst3/Contents/MacOS"));
    writeFile(sys(kVst3 + QStringLiteral("/New.vst3/Contents/Info.plist")), "<plist/>");
    writeFile(sys(kVst3 + QStringLiteral("/New.vst3/Contents/MacOS/New")), "binary");
    RACKHAND_ASSERT_EVENTUALLY_EQ(notifier->sent().size(), 1, 5000);
    EXPECT_EQ(notifier->sent().first().body, QStringLiteral("New was installed. Open Rackhand to manage it."));
    QTest::qWait(500);
    EXPECT_EQ(notifier->sent().size(), 1);
    EXPECT_EQ(center->count(QString::fromLatin1(RackhandBus::kNewPluginsDetected)), 1);
    EXPECT_TRUE(storedKeys(knownFile()).contains(QStringLiteral("New|VST3")));
}

TEST_F(InotifyDetectionTest, TouchCausesNoRescan)
{
    startWithInotify();
    ASSERT_EQ(real->watchedFolderCount(), 1) << "the only folder there is, not the bundle in it";
    QSignalSpy rescans(delegate.get(), &MenuBarAppDelegate::menuChanged);
    const QByteArray bundle = QFile::encodeName(sys(kVst3 + QStringLiteral("/Foo.vst3")));
    ASSERT_EQ(::utimes(bundle.constData(), nullptr), 0);
    QFile(sys(kVst3 + QStringLiteral("/Foo.vst3")))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QTest::qWait(600);
    EXPECT_EQ(rescans.size(), 0);
    EXPECT_TRUE(notifier->sent().isEmpty());
}

TEST_F(InotifyDetectionTest, DisableAndEnableAgainIsNotAnnounced)
{
    startWithInotify();
    QDir().mkpath(sys(kDisabled + QStringLiteral("/VST3")));
    ASSERT_TRUE(
        QDir().rename(sys(kVst3 + QStringLiteral("/Foo.vst3")), sys(kDisabled + QStringLiteral("/VST3/Foo.vst3"))));
    RACKHAND_ASSERT_EVENTUALLY_EQ(delegate->totalPluginCount(), qint64(0), 5000);
    ASSERT_TRUE(
        QDir().rename(sys(kDisabled + QStringLiteral("/VST3/Foo.vst3")), sys(kVst3 + QStringLiteral("/Foo.vst3"))));
    RACKHAND_ASSERT_EVENTUALLY_EQ(delegate->totalPluginCount(), qint64(1), 5000);
    EXPECT_TRUE(notifier->sent().isEmpty());
}
