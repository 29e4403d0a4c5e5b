#include "Platform/linux/InotifyFolderWatcher.h"

#include "Support/SandboxTest.h"

#include <QDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <sys/inotify.h>

namespace {

constexpr int kLatencyMs = 50;
// Long enough for an event or a listing to have been turned into a change.
constexpr int kQuietMs = 250;

class InotifyFolderWatcherTest : public SandboxTest {
protected:
    /// A watcher whose watch limit is spent after `budget` watches (negative: no limit).
    void startWatcher(const QStringList& folders, int budget = -1)
    {
        watcher = std::make_unique<InotifyFolderWatcher>([this, budget](int fd, const char* path, quint32 mask) {
            if (budget >= 0 && granted >= budget) {
                errno = ENOSPC;
                return -1;
            }
            const int wd = ::inotify_add_watch(fd, path, mask);
            if (wd >= 0)
                ++granted;
            return wd;
        });
        watcher->start(folders, kLatencyMs, [this] { ++changes; });
    }
    /// Makes the change and waits for its report: true when exactly one more came.
    bool noticed(const std::function<void()>& change)
    {
        const int before = changes;
        change();
        if (!QTest::qWaitFor([&] { return changes > before; }, 5000))
            return false;
        QTest::qWait(kQuietMs);
        return changes == before + 1;
    }
    bool quietAfter(const std::function<void()>& change)
    {
        const int before = changes;
        change();
        QTest::qWait(kQuietMs);
        return changes == before;
    }
    QString folder(const char* name) const { return root() + QLatin1Char('/') + QString::fromLatin1(name); }

    std::unique_ptr<InotifyFolderWatcher> watcher;
    int granted = 0;
    int changes = 0;
};

} // namespace

// Over the watch limit, and for a folder that appears later, listing stands in for the watch.
TEST_F(InotifyFolderWatcherTest, EveryFolderIsNoticedWhateverTheWatchLimit)
{
    const struct {
        const char* name;
        int budget;
        qsizetype watched;
    } rows[] = {{"no limit", -1, 3}, {"two watches", 2, 2}, {"no watch at all", 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(root()).removeRecursively();
        clearPrintedLines();
        const QStringList folders{folder("A"), folder("B"), folder("C"), folder("Later")};
        for (const QString& path : folders.mid(0, 3))
            makeDir(path);
        granted = 0;
        startWatcher(folders, row.budget);
        EXPECT_EQ(watcher->watchedFolderCount(), row.watched);
        // The first folders given get the watches.
        EXPECT_EQ(watcher->listedFolders(), folders.mid(row.watched));
        EXPECT_EQ(printedLines().size(), row.budget >= 0 && row.budget < 3 ? 1 : 0) << "one line about the limit";

        for (const QString& path : folders) {
            SCOPED_TRACE(path.toStdString());
            EXPECT_TRUE(noticed([&path] { makeDir(path + QStringLiteral("/New.vst3")); }));
            EXPECT_TRUE(noticed([&path] { QDir(path + QStringLiteral("/New.vst3")).removeRecursively(); }));
        }
        // The folder that appeared got its watch as soon as the limit allowed it.
        EXPECT_EQ(watcher->watchedFolderCount(), row.budget < 0 ? 4 : row.watched);
        watcher.reset();
    }
}

TEST_F(InotifyFolderWatcherTest, WhatHappensInsideABundleIsNotAChange)
{
    for (const int budget : {-1, 0}) {
        SCOPED_TRACE(budget < 0 ? "watched" : "listed");
        QDir(root()).removeRecursively();
        makeDir(folder("VST3/Foo.vst3/Contents"));
        startWatcher({folder("VST3")}, budget);
        EXPECT_EQ(watcher->watchedFolderCount(), budget < 0 ? 1 : 0);
        EXPECT_TRUE(quietAfter([this] {
            makeDir(folder("VST3/Foo.vst3/Contents/MacOS"));
            writeFile(folder("VST3/Foo.vst3/Contents/Info.plist"), "<plist/>");
        }));
        EXPECT_TRUE(noticed([this] { makeDir(folder("VST3/Bar.vst3")); }));
        watcher.reset();
    }
}

TEST_F(InotifyFolderWatcherTest, AFolderRemovedAndMadeAgainIsWatchedAgain)
{
    makeDir(folder("Disabled/VST3"));
    startWatcher({folder("Disabled")});
    EXPECT_TRUE(noticed([this] { QDir(folder("Disabled")).removeRecursively(); }));
    EXPECT_EQ(watcher->listedFolders(), QStringList{folder("Disabled")});
    EXPECT_TRUE(noticed([this] { makeDir(folder("Disabled")); }));
    EXPECT_TRUE(QTest::qWaitFor([this] { return watcher->watchedFolderCount() == 1; }, 2000));
    EXPECT_TRUE(noticed([this] { makeDir(folder("Disabled/AAX")); }));

    // Moved away, the watch would follow the folder: the name is listed instead.
    EXPECT_TRUE(noticed([this] { QDir().rename(folder("Disabled"), folder("Elsewhere")); }));
    EXPECT_TRUE(quietAfter([this] { makeDir(folder("Elsewhere/CLAP")); }));
}

TEST_F(InotifyFolderWatcherTest, TheSetOfFoldersChangesWhileWatching)
{
    makeDir(folder("A"));
    makeDir(folder("B"));
    startWatcher({folder("A")});
    EXPECT_EQ(watcher->setFolders({folder("A"), folder("B"), folder("A")}), (QStringList{folder("A"), folder("B")}));
    EXPECT_EQ(watcher->watchedFolderCount(), 2);
    EXPECT_TRUE(noticed([this] { makeDir(folder("B/x")); }));
    EXPECT_EQ(watcher->setFolders({folder("B")}), QStringList{folder("B")});
    EXPECT_EQ(watcher->watchedFolderCount(), 1);
    EXPECT_TRUE(quietAfter([this] { makeDir(folder("A/y")); }));
    EXPECT_TRUE(noticed([this] { makeDir(folder("B/y")); }));
}
