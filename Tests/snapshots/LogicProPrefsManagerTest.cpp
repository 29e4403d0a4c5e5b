#include "MenuBarHelper/snapshots/LogicProPrefsManager.h"

#include "Support/FileSizeLimit.h"
#include "Support/Unprivileged.h"
#include "snapshots/SnapshotStoreTest.h"

#include <QFileInfo>

#include <sys/stat.h>

namespace {

class LogicProPrefsManagerTest : public SnapshotStoreTest {
protected:
    void SetUp() override
    {
        SnapshotStoreTest::SetUp();
        store = std::make_unique<LogicProPrefsManager>(clock, files);
    }

    QString prefs(const QString& name = {}) const
    {
        return usr(QStringLiteral("/Library/Preferences")) + (name.isEmpty() ? QString() : u'/' + name);
    }
    QString root() const { return dataDir() + QStringLiteral("/LogicProSnapshots"); }

    void makeLiveItems()
    {
        writeFile(prefs(QStringLiteral("com.apple.logic10.plist")), "plist v1");
        writeFile(prefs(QStringLiteral("com.apple.logic10/Key Commands")), "keys v1");
        writeFile(prefs(QStringLiteral("com.apple.logic.pro.cs")), "cs v1");
    }
    void changeLiveItems()
    {
        SnapshotFiles().removeItem(prefs(QStringLiteral("com.apple.logic10")));
        writeFile(prefs(QStringLiteral("com.apple.logic10.plist")), "plist v2");
        writeFile(prefs(QStringLiteral("com.apple.logic10/Key Commands")), "keys v2");
        writeFile(prefs(QStringLiteral("com.apple.logic.pro.cs")), "cs v2");
    }
    static QStringList liveV1()
    {
        return {"com.apple.logic.pro.cs=cs v1", "com.apple.logic10.plist=plist v1", "com.apple.logic10/",
                "com.apple.logic10/Key Commands=keys v1"};
    }
    static QStringList liveV2()
    {
        return {"com.apple.logic.pro.cs=cs v2", "com.apple.logic10.plist=plist v2", "com.apple.logic10/",
                "com.apple.logic10/Key Commands=keys v2"};
    }

    /// A case of a table starts afresh: the live items of liveV1() and no snapshot yet, but for an
    /// empty folder `snapshotName`, whose path it returns.
    QString startAgain(const QString& snapshotName = QStringLiteral("2025-01-01_000000"))
    {
        SnapshotFiles().removeItem(prefs());
        SnapshotFiles().removeItem(root());
        makeLiveItems();
        makeDir(root() + u'/' + snapshotName);
        return root() + u'/' + snapshotName;
    }

    LogicProSnapshot save(const QString& label)
    {
        const auto made = store->createSnapshot(label);
        EXPECT_TRUE(made.ok()) << (made.ok() ? "" : made.error().errorDescription().toStdString());
        return made.ok() ? made.value() : LogicProSnapshot{};
    }

    std::unique_ptr<LogicProPrefsManager> store;
};

TEST_F(LogicProPrefsManagerTest, SavesTheLiveItemsUnderTheTimeAndCleanedLabel)
{
    makeLiveItems();
    const LogicProSnapshot made = save(QStringLiteral("  Live/Set:up  "));
    EXPECT_EQ(made.id, kNowText + QStringLiteral("_Live-Set-up"));
    EXPECT_EQ(made.label, QStringLiteral("Live-Set-up"));
    EXPECT_EQ(made.sizeBytes, 8 + 7 + 5);
    EXPECT_EQ(tree(made.path()), liveV1());
    EXPECT_EQ(names(root()), QStringList{made.id}); // no staging folder left behind

    clock->advance(60);
    const LogicProSnapshot blank = save(QStringLiteral("   "));
    EXPECT_EQ(blank.id, QStringLiteral("2025-03-07_091602"));
    EXPECT_EQ(blank.label, QStringLiteral("Snapshot"));

    const auto list = store->listSnapshots();
    ASSERT_EQ(list.size(), 2U);
    EXPECT_EQ(list[0].id, blank.id);
    EXPECT_EQ(list[0].label, QStringLiteral("Snapshot"));
    EXPECT_EQ(list[1].id, made.id);
    EXPECT_EQ(list[1].sizeBytes, 20);
    EXPECT_EQ(LogicProPrefsManager::formattedSize(list[1].sizeBytes), QStringLiteral("0 KB"));
}

TEST_F(LogicProPrefsManagerTest, ASameSecondSnapshotFailsAndKeepsTheFirst)
{
    makeLiveItems();
    const LogicProSnapshot first = save(QStringLiteral("mix"));
    changeLiveItems();
    const auto second = store->createSnapshot(QStringLiteral(" mix "));
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().kind, LogicProPrefsError::Case::snapshotFailed);
    // The text names the user's snapshot, never a hidden folder of the store's own.
    EXPECT_EQ(second.error().errorDescription(),
              QStringLiteral("Snapshot failed: Could not put “%1” in place: File exists").arg(first.id));
    EXPECT_EQ(tree(first.path()), liveV1());
    EXPECT_EQ(names(root()), QStringList{first.id});
}

TEST_F(LogicProPrefsManagerTest, ALabelTooLongForAFolderNameIsSaidSo)
{
    makeLiveItems();
    const auto made = store->createSnapshot(QString(120, QChar(0x00e9))); // 240 bytes: past a name's 255
    ASSERT_FALSE(made.ok());
    EXPECT_EQ(made.error().errorDescription(), QStringLiteral("Snapshot failed: The label is too long."));
    EXPECT_TRUE(names(root()).isEmpty());
}

TEST_F(LogicProPrefsManagerTest, FoldersThatCannotBeWrittenAreNamedWithTheRealReason)
{
    RUN_UNPRIVILEGED();
    makeLiveItems();
    makeDir(root());
    ::chmod(QFile::encodeName(root()).constData(), 0555);
    const auto made = store->createSnapshot(QStringLiteral("x"));
    ASSERT_FALSE(made.ok());
    EXPECT_EQ(made.error().errorDescription(),
              QStringLiteral("Snapshot failed: Could not write in “LogicProSnapshots”: Permission denied"));

    ::chmod(QFile::encodeName(root()).constData(), 0755);
    const LogicProSnapshot saved = save(QStringLiteral("x"));
    ::chmod(QFile::encodeName(prefs()).constData(), 0555);
    const auto restored = store->restoreSnapshot(saved);
    ::chmod(QFile::encodeName(prefs()).constData(), 0755);
    ASSERT_TRUE(restored.has_value());
    EXPECT_EQ(restored->errorDescription(),
              QStringLiteral("Restore failed: Could not write in “Preferences”: Permission denied"));
    EXPECT_EQ(tree(prefs()), liveV1());
}

TEST_F(LogicProPrefsManagerTest, ASnapshotWhoseCopyFailsHalfWayIsNeverListed)
{
    const struct {
        const char* name;
        bool bigFile; // a file past a file-size limit; else a FIFO inside a folder item
        const char* names;
    } cases[] = {{"write past a file-size limit", true, "com.apple.logic.pro.cs"},
                 {"an entry that is no file or folder", false, "pipe"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SnapshotFiles().removeItem(root());
        makeLiveItems();
        if (c.bigFile)
            writeFile(prefs(QStringLiteral("com.apple.logic.pro.cs")), QByteArray(10'000, 'x'));
        else
            ASSERT_EQ(::mkfifo(QFile::encodeName(prefs(QStringLiteral("com.apple.logic10/pipe"))).constData(), 0600),
                      0);
        std::unique_ptr<FileSizeLimit> limit;
        if (c.bigFile)
            limit = std::make_unique<FileSizeLimit>(1000);
        const auto made = store->createSnapshot(QStringLiteral("big"));
        limit.reset();
        ASSERT_FALSE(made.ok());
        EXPECT_EQ(made.error().kind, LogicProPrefsError::Case::snapshotFailed);
        EXPECT_TRUE(made.error().message.contains(QString::fromUtf8(c.names))) << made.error().message.toStdString();
        EXPECT_TRUE(store->listSnapshots().empty());
        EXPECT_TRUE(names(root()).isEmpty());
        SnapshotFiles().removeItem(prefs(QStringLiteral("com.apple.logic10/pipe")));
    }
}

TEST_F(LogicProPrefsManagerTest, NamesInAnyEncodingAreSavedCountedAndRestored)
{
    makeLiveItems();
    const QByteArray folder = QFile::encodeName(prefs(QStringLiteral("com.apple.logic10")));
    writeRaw(folder + "/caf\xe9.plist", "latin-1 name");
    writeRaw(folder + "/\xff\xfe folder/inside", "inside");
    const QList<QByteArray> live = rawTree(prefs());

    const LogicProSnapshot made = save(QStringLiteral("odd names"));
    EXPECT_EQ(rawTree(made.path()), live);
    EXPECT_EQ(made.sizeBytes, 8 + 7 + 5 + 12 + 6);
    EXPECT_EQ(store->listSnapshots().at(0).sizeBytes, made.sizeBytes);

    changeLiveItems();
    ASSERT_FALSE(store->restoreSnapshot(made).has_value());
    QList<QByteArray> restored = rawTree(prefs());
    restored.removeIf([](const QByteArray& entry) { return entry.startsWith("LogicPro_BeforeRestore_"); });
    EXPECT_EQ(restored, live);
}

TEST_F(LogicProPrefsManagerTest, SnapshotsAndRestoresKeepFileTimesAndModes)
{
    makeLiveItems();
    writeFile(prefs(QStringLiteral("com.apple.logic10/Locked/Preset")), "preset");
    const QString logic10 = prefs(QStringLiteral("com.apple.logic10"));
    // Files first, then their folders: filling a folder changes its time.
    for (const QString& path :
         {logic10 + QStringLiteral("/Locked/Preset"), logic10 + QStringLiteral("/Key Commands"),
          prefs(QStringLiteral("com.apple.logic10.plist")), logic10 + QStringLiteral("/Locked"), logic10})
        setModificationTime(path, 1'600'000'000);
    ::chmod(QFile::encodeName(prefs(QStringLiteral("com.apple.logic10.plist"))).constData(), 0600);
    ::chmod(QFile::encodeName(logic10).constData(), 0750);
    ::chmod(QFile::encodeName(logic10 + QStringLiteral("/Locked")).constData(), 0555);
    const QList<QByteArray> live = rawTree(prefs(), true);

    const LogicProSnapshot made = save(QStringLiteral("times"));
    EXPECT_EQ(rawTree(made.path(), true), live);

    ::chmod(QFile::encodeName(logic10 + QStringLiteral("/Locked")).constData(), 0755);
    changeLiveItems();
    ASSERT_FALSE(store->restoreSnapshot(made).has_value());
    QList<QByteArray> restored = rawTree(prefs(), true);
    restored.removeIf([](const QByteArray& entry) { return entry.startsWith("LogicPro_BeforeRestore_"); });
    EXPECT_EQ(restored, live);
}

TEST_F(LogicProPrefsManagerTest, WithoutLiveItemsNothingIsSavedOrReset)
{
    EXPECT_FALSE(store->isLogicProInstalled());
    makeDir(root());
    EXPECT_TRUE(store->isLogicProInstalled());
    const auto made = store->createSnapshot(QStringLiteral("x"));
    ASSERT_FALSE(made.ok());
    EXPECT_EQ(made.error().errorDescription(), QStringLiteral("No Logic Pro preference files found."));
    const auto reset = store->resetPreferences();
    ASSERT_TRUE(reset.has_value());
    EXPECT_EQ(reset->kind, LogicProPrefsError::Case::prefsNotFound);

    writeFile(prefs(QStringLiteral("com.apple.logic.pro.cs")), "cs");
    SnapshotFiles().removeItem(root());
    EXPECT_TRUE(store->isLogicProInstalled());
}

TEST_F(LogicProPrefsManagerTest, ARootThatCannotBeMadePassesTheFileError)
{
    const struct {
        const char* name;
        QString file; // what stands where a folder should be
        const char* description;
    } cases[] = {
        {"the root is a file", root(), "Could not create “LogicProSnapshots”: Not a directory"},
        // The failing folder and its own reason, not a guess.
        {"the data folder is a file", dataDir(), "Could not create “Rackhand”: Not a directory"},
    };
    makeLiveItems();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SnapshotFiles().removeItem(c.file);
        writeFile(c.file, "a file where the folder should be");
        const auto made = store->createSnapshot(QStringLiteral("x"));
        SnapshotFiles().removeItem(c.file);
        ASSERT_FALSE(made.ok());
        EXPECT_EQ(made.error().kind, LogicProPrefsError::Case::fileManager);
        EXPECT_EQ(made.error().errorDescription(), QString::fromUtf8(c.description));
    }
}

TEST_F(LogicProPrefsManagerTest, RestoreReplacesTheLiveSetAndKeepsABackup)
{
    makeLiveItems();
    writeFile(prefs(QStringLiteral("stray.txt")), "live stray");
    const QString snap = root() + QStringLiteral("/2025-01-01_000000_only plist");
    writeFile(snap + QStringLiteral("/com.apple.logic10.plist"), "plist old");
    writeFile(snap + QStringLiteral("/stray.txt"), "snapshot stray");
    writeFile(snap + QStringLiteral("/other"), "never lands");
    const auto list = store->listSnapshots();
    ASSERT_EQ(list.size(), 1U);

    ASSERT_FALSE(store->restoreSnapshot(list[0]).has_value());
    const QString backup = QStringLiteral("LogicPro_BeforeRestore_") + kNowText;
    EXPECT_EQ(names(prefs()), (QStringList{backup, "com.apple.logic10.plist", "stray.txt"}));
    EXPECT_EQ(readFile(prefs(QStringLiteral("com.apple.logic10.plist"))), "plist old");
    EXPECT_EQ(readFile(prefs(QStringLiteral("stray.txt"))), "live stray");
    EXPECT_EQ(tree(prefs(backup)), liveV1());
    EXPECT_EQ(names(snap), (QStringList{"com.apple.logic10.plist", "other", "stray.txt"}));
}

TEST_F(LogicProPrefsManagerTest, RestoreWithoutLiveItemsMakesNoBackup)
{
    const QString snap = root() + QStringLiteral("/2025-01-01_000000");
    writeFile(snap + QStringLiteral("/com.apple.logic10/Key Commands"), "keys old");
    ASSERT_FALSE(store->restoreSnapshot(store->listSnapshots().at(0)).has_value());
    EXPECT_EQ(tree(prefs()), (QStringList{"com.apple.logic10/", "com.apple.logic10/Key Commands=keys old"}));
}

TEST_F(LogicProPrefsManagerTest, AFailedRestoreLeavesTheLivePreferencesAsTheyWere)
{
    const struct {
        const char* name;
        const char* snapshotEntries; // what the snapshot folder holds, comma-separated
        const char* failMoveTo;
        bool bigFile;
        const char* description;
    } cases[] = {
        {"empty snapshot", "", "", false, "Restore failed: Snapshot folder is empty or unreadable."},
        {"only stray entries", "notes.txt", "", false, "Restore failed: Snapshot folder is empty or unreadable."},
        {"staging copy fails half-way", "com.apple.logic10.plist", "", true, "Restore failed: Could not write"},
        {"backup move fails", "com.apple.logic10.plist", "com.apple.logic10", false,
         "Restore failed: Could not back up current prefs: "},
        {"placing the second item fails", "com.apple.logic10.plist,com.apple.logic.pro.cs",
         "Preferences/com.apple.logic.pro.cs", false, "Restore failed: Could not move"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SnapshotFiles().removeItem(prefs());
        SnapshotFiles().removeItem(root());
        makeLiveItems();
        const QString snap = root() + QStringLiteral("/2025-01-01_000000");
        makeDir(snap);
        for (const QString& entry : QString::fromUtf8(c.snapshotEntries).split(u',', Qt::SkipEmptyParts))
            writeFile(snap + u'/' + entry, c.bigFile ? QByteArray(10'000, 'x') : QByteArray("snapshot"));
        files->failMoveTo = {QString::fromUtf8(c.failMoveTo)};
        std::optional<LogicProPrefsError> error;
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (c.bigFile)
                limit = std::make_unique<FileSizeLimit>(1000);
            error = store->restoreSnapshot(store->listSnapshots().at(0));
        }
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind, LogicProPrefsError::Case::restoreFailed);
        EXPECT_TRUE(error->errorDescription().startsWith(QString::fromUtf8(c.description)))
            << error->errorDescription().toStdString();
        EXPECT_EQ(tree(prefs()), liveV1()); // no backup folder, no staging folder, nothing replaced
    }
}

TEST_F(LogicProPrefsManagerTest, ALinkedItemIsSavedAsItsContentAndRestoredIntoItsTargetKeepingTheLink)
{
    makeLiveItems();
    // The folder item lives elsewhere, reached through the user's link; links inside it stay links.
    const QString elsewhere = usr(QStringLiteral("/Synced/logic10"));
    SnapshotFiles().removeItem(prefs(QStringLiteral("com.apple.logic10")));
    writeFile(elsewhere + QStringLiteral("/Key Commands"), "keys v1");
    ASSERT_EQ(::symlink("Key Commands", QFile::encodeName(elsewhere + QStringLiteral("/latest")).constData()), 0);
    ASSERT_EQ(
        ::symlink("../../Synced/logic10", QFile::encodeName(prefs(QStringLiteral("com.apple.logic10"))).constData()),
        0);
    const QList<QByteArray> content = rawTree(elsewhere);

    const LogicProSnapshot made = save(QStringLiteral("linked"));
    EXPECT_FALSE(QFileInfo(made.path() + QStringLiteral("/com.apple.logic10")).isSymLink());
    EXPECT_EQ(rawTree(made.path() + QStringLiteral("/com.apple.logic10")), content);

    writeFile(elsewhere + QStringLiteral("/Key Commands"), "keys v2");
    ASSERT_FALSE(store->restoreSnapshot(made).has_value());
    EXPECT_TRUE(QFileInfo(prefs(QStringLiteral("com.apple.logic10"))).isSymLink());
    EXPECT_EQ(rawTree(elsewhere), content);
    const QString backup = prefs(QStringLiteral("LogicPro_BeforeRestore_") + kNowText);
    EXPECT_EQ(readFile(backup + QStringLiteral("/com.apple.logic10/Key Commands")), "keys v2");
}

TEST_F(LogicProPrefsManagerTest, LinksThatCannotBeRestoredAreRefusedBeforeAnythingMoves)
{
    const struct {
        const char* name;
        bool linkInSnapshot; // else the live item is a link that leads nowhere
        const char* description;
    } cases[] = {
        {"a link at the top of the snapshot", true,
         "Restore failed: “com.apple.logic10” in the snapshot is a link, not a saved copy; nothing was changed."},
        {"a live link that leads nowhere", false,
         "Restore failed: “com.apple.logic10” is a link to “gone”, which does not exist; nothing was changed."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString snap = startAgain();
        writeFile(snap + QStringLiteral("/com.apple.logic10.plist"), "plist old");
        if (c.linkInSnapshot) {
            ::symlink(QFile::encodeName(usr(QStringLiteral("/x"))).constData(),
                      QFile::encodeName(snap + QStringLiteral("/com.apple.logic10")).constData());
        } else {
            writeFile(snap + QStringLiteral("/com.apple.logic10/Key Commands"), "keys old");
            SnapshotFiles().removeItem(prefs(QStringLiteral("com.apple.logic10")));
            ::symlink("gone", QFile::encodeName(prefs(QStringLiteral("com.apple.logic10"))).constData());
        }
        const QList<QByteArray> before = rawTree(prefs());
        const auto error = store->restoreSnapshot(store->listSnapshots().at(0));
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->errorDescription(), QString::fromUtf8(c.description));
        EXPECT_EQ(rawTree(prefs()), before);
    }
}

TEST_F(LogicProPrefsManagerTest, AnItemThatCannotGoBackStaysInTheBackupAloneAndIsNamed)
{
    makeLiveItems();
    const QString snap = root() + QStringLiteral("/2025-01-01_000000");
    writeFile(snap + QStringLiteral("/com.apple.logic10.plist"), "plist old");
    writeFile(snap + QStringLiteral("/com.apple.logic.pro.cs"), "cs old");
    // Placing the second item fails, and then the folder item cannot go back.
    files->failMoveTo = {QStringLiteral("Preferences/com.apple.logic.pro.cs"),
                         QStringLiteral("Preferences/com.apple.logic10")};
    const auto error = store->restoreSnapshot(store->listSnapshots().at(0));
    ASSERT_TRUE(error.has_value());
    const QString backup = prefs(QStringLiteral("LogicPro_BeforeRestore_") + kNowText);
    EXPECT_EQ(error->errorDescription(), QStringLiteral("Restore failed: Could not move “com.apple.logic.pro.cs”: "
                                                        "injected failure. “com.apple.logic10” is still in “%1”.")
                                             .arg(backup));
    // The others are back in place; only the one that could not go back is in the backup.
    EXPECT_EQ(tree(prefs()),
              (QStringList{"LogicPro_BeforeRestore_" + kNowText + "/",
                           "LogicPro_BeforeRestore_" + kNowText + "/com.apple.logic10/",
                           "LogicPro_BeforeRestore_" + kNowText + "/com.apple.logic10/Key Commands=keys v1",
                           "com.apple.logic.pro.cs=cs v1", "com.apple.logic10.plist=plist v1"}));

    // A reset that cannot put an item back says so too.
    SnapshotFiles().removeItem(prefs());
    makeLiveItems();
    clock->advance(1);
    files->failMoveTo = {QStringLiteral("LogicPro_Backup_2025-03-07_091503/com.apple.logic.pro.cs"),
                         QStringLiteral("Preferences/com.apple.logic10.plist")};
    const auto reset = store->resetPreferences();
    ASSERT_TRUE(reset.has_value());
    EXPECT_EQ(reset->errorDescription(),
              QStringLiteral("Reset failed: Could not move “com.apple.logic.pro.cs”: injected failure. "
                             "“com.apple.logic10.plist” is still in “%1”.")
                  .arg(prefs(QStringLiteral("LogicPro_Backup_2025-03-07_091503"))));
    EXPECT_EQ(readFile(prefs(QStringLiteral("LogicPro_Backup_2025-03-07_091503/com.apple.logic10.plist"))), "plist v1");
    EXPECT_EQ(readFile(prefs(QStringLiteral("com.apple.logic10/Key Commands"))), "keys v1");
}

TEST_F(LogicProPrefsManagerTest, ARestoreCutOffIsFinishedOrUndoneAtTheNextStart)
{
    const QStringList snapshot{"com.apple.logic10.plist=plist old", "com.apple.logic10/",
                               "com.apple.logic10/Key Commands=keys old"};
    QStringList freshPlist = snapshot;
    freshPlist[0] = QStringLiteral("com.apple.logic10.plist=fresh");
    const struct {
        const char* name;
        int movesBeforeTheCut;
        bool freshPlistMeanwhile; // Logic made a new default before the helper started again
        bool stagingLost;         // the staged copy is gone by then
        bool finished;
        QStringList live;
        QStringList notes;
    } cases[] = {
        {"before the first move", 0, false, false, true, snapshot, {}},
        {"after one backup", 1, false, false, true, snapshot, {}},
        {"after one placement", 4, false, false, true, snapshot, {}},
        {"a new file took a place",
         3,
         true,
         false,
         true,
         freshPlist,
         {"“com.apple.logic10.plist” was not restored: a new one had been made in its place."}},
        {"the staged copy is lost", 2, false, true, false, liveV1(), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString snap = startAgain(QStringLiteral("2025-01-01_000000_old"));
        writeFile(snap + QStringLiteral("/com.apple.logic10.plist"), "plist old");
        writeFile(snap + QStringLiteral("/com.apple.logic10/Key Commands"), "keys old");
        files->changes = 0;
        files->stopOn = QStringLiteral("move");
        files->stopAt = c.movesBeforeTheCut;
        EXPECT_THROW(store->restoreSnapshot(store->listSnapshots().at(0)), Stopped);
        if (c.freshPlistMeanwhile)
            writeFile(prefs(QStringLiteral("com.apple.logic10.plist")), "fresh");
        if (c.stagingLost) {
            for (const QString& name : hiddenNames(prefs()))
                if (name.startsWith(QStringLiteral(".rackhand-staging-")))
                    SnapshotFiles().removeItem(prefs(name));
        }

        // The next start: a new store over the disk as the cut left it.
        const LogicProPrefsManager next(clock, std::make_shared<SnapshotFiles>());
        const auto recovered = next.recoverInterruptedRestores();
        ASSERT_EQ(recovered.size(), 1U);
        EXPECT_EQ(recovered[0].what, QStringLiteral("Logic Pro"));
        EXPECT_EQ(recovered[0].label, QStringLiteral("old"));
        EXPECT_EQ(recovered[0].finished, c.finished);
        EXPECT_EQ(recovered[0].notes, c.notes);
        const QString backup = QStringLiteral("LogicPro_BeforeRestore_") + kNowText;
        QStringList live = tree(prefs());
        live.removeIf([&backup](const QString& entry) { return entry.startsWith(backup); });
        EXPECT_EQ(live, c.live);
        if (c.finished) {
            EXPECT_EQ(recovered[0].backupFolder, prefs(backup));
            EXPECT_EQ(tree(prefs(backup)), liveV1());
        } else {
            EXPECT_FALSE(SnapshotFiles::exists(prefs(backup)));
        }
        EXPECT_TRUE(hiddenNames(prefs()).isEmpty()); // no staging copy, no record
        EXPECT_TRUE(next.recoverInterruptedRestores().empty());
    }
}

TEST_F(LogicProPrefsManagerTest, WhatCutOffWorkLeftIsSweptAtStartAndBeforeEachOperation)
{
    const struct {
        const char* name;
        const char* stopOn;
        int stopAt;
        bool restoring; // else saving
    } cases[] = {
        {"a save cut off while copying", "copy", 1, false},
        {"a restore cut off while staging", "copy", 1, true},
        {"a restore cut off after making its backup folder", "write", 0, true},
    };
    for (const bool atStart : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (atStart ? " (start)" : " (next operation)"));
            const QString snap = startAgain();
            writeFile(snap + QStringLiteral("/com.apple.logic10.plist"), "plist old");
            writeFile(snap + QStringLiteral("/com.apple.logic.pro.cs"), "cs old");
            files->changes = 0;
            files->stopOn = QString::fromUtf8(c.stopOn);
            files->stopAt = c.stopAt;
            if (c.restoring)
                EXPECT_THROW(store->restoreSnapshot(store->listSnapshots().at(0)), Stopped);
            else
                EXPECT_THROW(store->createSnapshot(QStringLiteral("cut")), Stopped);
            EXPECT_TRUE(!hiddenNames(prefs()).isEmpty() || !hiddenNames(root()).isEmpty() ||
                        names(prefs()).size() > 3); // the cut left something behind

            const LogicProPrefsManager next(clock, std::make_shared<SnapshotFiles>());
            if (atStart)
                next.recoverInterruptedRestores();
            else
                EXPECT_FALSE(next.deleteSnapshot(next.listSnapshots().at(0)).has_value());
            EXPECT_TRUE(hiddenNames(prefs()).isEmpty());
            EXPECT_TRUE(hiddenNames(root()).isEmpty());
            EXPECT_EQ(tree(prefs()), liveV1()); // and no empty backup folder
        }
    }
}

TEST_F(LogicProPrefsManagerTest, ResetSavesASnapshotThenMovesTheItemsAside)
{
    makeLiveItems();
    writeFile(prefs(QStringLiteral("other.plist")), "other");
    ASSERT_FALSE(store->resetPreferences().has_value());
    const QString backup = QStringLiteral("LogicPro_Backup_") + kNowText;
    EXPECT_EQ(names(prefs()), (QStringList{backup, "other.plist"}));
    EXPECT_EQ(tree(prefs(backup)), liveV1());
    const auto list = store->listSnapshots();
    ASSERT_EQ(list.size(), 1U);
    EXPECT_EQ(list[0].id, kNowText + QStringLiteral("_Before Reset"));
    EXPECT_EQ(list[0].label, QStringLiteral("Before Reset"));
    EXPECT_EQ(tree(list[0].path()), liveV1());
}

TEST_F(LogicProPrefsManagerTest, AFailedResetPutsTheMovedItemsBack)
{
    makeLiveItems();
    files->failMoveTo = {QStringLiteral("com.apple.logic.pro.cs")};
    const auto error = store->resetPreferences();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, LogicProPrefsError::Case::resetFailed);
    EXPECT_TRUE(error->errorDescription().startsWith(QStringLiteral("Reset failed: Could not move")));
    EXPECT_EQ(tree(prefs()), liveV1());
    EXPECT_EQ(store->listSnapshots().size(), 1U); // the "Before Reset" snapshot stays
}

TEST_F(LogicProPrefsManagerTest, DeletesASnapshotAndReportsAFolderAlreadyGone)
{
    makeLiveItems();
    const LogicProSnapshot made = save(QStringLiteral("x"));
    ASSERT_FALSE(store->deleteSnapshot(made).has_value());
    EXPECT_TRUE(store->listSnapshots().empty());
    const auto again = store->deleteSnapshot(made);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->kind, LogicProPrefsError::Case::fileManager);
    EXPECT_TRUE(again->errorDescription().contains(QStringLiteral("No such file")));
}

TEST_F(LogicProPrefsManagerTest, SharedReturnsTheInjectedStore)
{
    auto injected = std::make_shared<LogicProPrefsManager>(clock, files);
    LogicProPrefsManager::setShared(injected);
    EXPECT_EQ(&LogicProPrefsManager::shared(), injected.get());
    LogicProPrefsManager::setShared(nullptr);
    EXPECT_NE(&LogicProPrefsManager::shared(), injected.get());
    LogicProPrefsManager::setShared(nullptr);
}

} // namespace
