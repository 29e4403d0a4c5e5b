#include "MenuBarHelper/snapshots/ProToolsPrefsManager.h"

#include "Support/FileSizeLimit.h"
#include "snapshots/SnapshotStoreTest.h"

#include <unistd.h>

namespace {

class ProToolsPrefsManagerTest : public SnapshotStoreTest {
protected:
    void SetUp() override
    {
        SnapshotStoreTest::SetUp();
        store = std::make_unique<ProToolsPrefsManager>(clock, files);
    }

    QString avid(const QString& name = {}) const
    {
        return usr(QStringLiteral("/Library/Preferences/Avid")) + (name.isEmpty() ? QString() : u'/' + name);
    }
    QString live() const { return avid(QStringLiteral("Pro Tools")); }
    QString root() const { return dataDir() + QStringLiteral("/ProToolsSnapshots"); }

    void makeLive(const QByteArray& version)
    {
        SnapshotFiles().removeItem(live());
        writeFile(live() + QStringLiteral("/Pro Tools Prefs"), "prefs " + version);
        writeFile(live() + QStringLiteral("/IO Settings/Last Used.pio"), "io " + version);
        writeFile(live() + QStringLiteral("/.lock"), "lock");
    }
    static QStringList liveTree(const char* version)
    {
        const QString v = QString::fromUtf8(version);
        return {".lock=lock", "IO Settings/", "IO Settings/Last Used.pio=io " + v, "Pro Tools Prefs=prefs " + v};
    }

    ProToolsSnapshot save(const QString& label)
    {
        const auto made = store->createSnapshot(label);
        EXPECT_TRUE(made.ok()) << (made.ok() ? "" : made.error().errorDescription().toStdString());
        return made.ok() ? made.value() : ProToolsSnapshot{};
    }

    std::unique_ptr<ProToolsPrefsManager> store;
};

TEST_F(ProToolsPrefsManagerTest, SavesACopyOfTheWholeFolder)
{
    makeLive("v1");
    const ProToolsSnapshot made = save(QStringLiteral("Mixing Session"));
    EXPECT_EQ(made.id, kNowText + QStringLiteral("_Mixing Session"));
    EXPECT_EQ(made.label, QStringLiteral("Mixing Session"));
    EXPECT_EQ(made.sizeBytes, 8 + 5); // the hidden ".lock" is copied but not counted
    EXPECT_EQ(tree(made.path()), liveTree("v1"));
    EXPECT_EQ(names(root()), QStringList{made.id});

    makeLive("v2");
    const auto again = store->createSnapshot(QStringLiteral("Mixing Session"));
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error().kind, ProToolsPrefsError::Case::snapshotFailed);
    EXPECT_TRUE(again.error().errorDescription().startsWith(QStringLiteral("Snapshot failed: ")));
    EXPECT_EQ(tree(made.path()), liveTree("v1"));
    EXPECT_EQ(names(root()), QStringList{made.id});
    ASSERT_EQ(store->listSnapshots().size(), 1U);
    EXPECT_EQ(store->listSnapshots()[0].sizeBytes, 13);
}

TEST_F(ProToolsPrefsManagerTest, ACopyFailingHalfWayLeavesNoSnapshot)
{
    makeLive("v1");
    writeFile(live() + QStringLiteral("/Big"), QByteArray(10'000, 'b'));
    {
        FileSizeLimit limit(1000);
        const auto made = store->createSnapshot(QStringLiteral("x"));
        ASSERT_FALSE(made.ok());
        EXPECT_EQ(made.error().kind, ProToolsPrefsError::Case::snapshotFailed);
    }
    EXPECT_TRUE(names(root()).isEmpty());
}

TEST_F(ProToolsPrefsManagerTest, WithoutTheLiveFolderNothingIsSavedOrResetButARestoreLands)
{
    EXPECT_FALSE(store->isProToolsInstalled());
    writeFile(root() + QStringLiteral("/2025-01-01_000000_old/Pro Tools Prefs"), "prefs old");
    EXPECT_TRUE(store->isProToolsInstalled());
    const auto made = store->createSnapshot(QStringLiteral("x"));
    ASSERT_FALSE(made.ok());
    EXPECT_EQ(made.error().errorDescription(), QStringLiteral("Pro Tools preferences folder not found."));
    EXPECT_EQ(store->resetPreferences()->kind, ProToolsPrefsError::Case::prefsNotFound);

    ASSERT_FALSE(store->restoreSnapshot(store->listSnapshots().at(0)).has_value());
    EXPECT_EQ(tree(avid()), (QStringList{"Pro Tools/", "Pro Tools/Pro Tools Prefs=prefs old"}));
}

TEST_F(ProToolsPrefsManagerTest, RestoreMovesTheLiveFolderAsideAndCopiesTheSnapshotIn)
{
    makeLive("v1");
    const ProToolsSnapshot made = save(QStringLiteral("a"));
    makeLive("v2");
    ASSERT_FALSE(store->restoreSnapshot(made).has_value());
    const QString backup = QStringLiteral("Pro Tools (Before Restore ") + kNowText + u')';
    EXPECT_EQ(names(avid()), (QStringList{"Pro Tools", backup}));
    EXPECT_EQ(tree(live()), liveTree("v1"));
    EXPECT_EQ(tree(avid(backup)), liveTree("v2"));

    // The backup name of the same second is taken: the live folder stays.
    const auto again = store->restoreSnapshot(made);
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->errorDescription().startsWith(QStringLiteral("Restore failed: Could not move current prefs: ")));
    EXPECT_EQ(names(avid()), (QStringList{"Pro Tools", backup}));
    EXPECT_EQ(tree(live()), liveTree("v1"));
}

TEST_F(ProToolsPrefsManagerTest, ALinkedFolderIsSavedAsItsContentAndRestoredBehindTheLink)
{
    const QString elsewhere = usr(QStringLiteral("/Volumes/Data/Pro Tools Prefs"));
    writeFile(elsewhere + QStringLiteral("/Pro Tools Prefs"), "prefs v1");
    ASSERT_EQ(::symlink("Pro Tools Prefs", QFile::encodeName(elsewhere + QStringLiteral("/current")).constData()), 0);
    makeDir(avid());
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(live()).constData()), 0);
    const QList<QByteArray> content = rawTree(elsewhere);

    const ProToolsSnapshot made = save(QStringLiteral("linked"));
    EXPECT_FALSE(QFileInfo(made.path()).isSymLink()); // the content, not the link
    EXPECT_EQ(rawTree(made.path()), content);

    writeFile(elsewhere + QStringLiteral("/Pro Tools Prefs"), "prefs v2");
    ASSERT_FALSE(store->restoreSnapshot(made).has_value());
    EXPECT_TRUE(QFileInfo(live()).isSymLink());
    EXPECT_EQ(rawTree(elsewhere), content);
    const QString backup = avid(QStringLiteral("Pro Tools (Before Restore ") + kNowText + u')');
    EXPECT_EQ(readFile(backup + QStringLiteral("/Pro Tools Prefs")), "prefs v2");

    // A snapshot that is itself a link (as one made by linking used to be) is refused.
    const QString linked = root() + QStringLiteral("/2025-01-01_000000_link");
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(linked).constData()), 0);
    const auto refused = store->restoreSnapshot(store->listSnapshots().back());
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->errorDescription(),
              QStringLiteral("Restore failed: The snapshot is a link, not a saved copy; nothing was changed."));
    EXPECT_EQ(rawTree(elsewhere), content);
}

TEST_F(ProToolsPrefsManagerTest, AFailedRestoreLeavesTheLiveFolderAsItWas)
{
    const struct {
        const char* name;
        bool emptySnapshot;
        bool bigFile;
        const char* failMoveTo;
        const char* description;
    } cases[] = {
        {"empty snapshot", true, false, "", "Restore failed: Snapshot folder is empty or unreadable."},
        {"staging copy fails half-way", false, true, "", "Restore failed: Could not write"},
        {"renaming in fails", false, false, "Avid/Pro Tools", "Restore failed: Could not move"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SnapshotFiles().removeItem(avid());
        SnapshotFiles().removeItem(root());
        makeLive("v1");
        const QString snap = root() + QStringLiteral("/2025-01-01_000000");
        makeDir(snap);
        if (!c.emptySnapshot)
            writeFile(snap + QStringLiteral("/Pro Tools Prefs"), c.bigFile ? QByteArray(10'000, 's') : "snap");
        files->failMoveTo = {QString::fromUtf8(c.failMoveTo)};
        std::optional<ProToolsPrefsError> error;
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (c.bigFile)
                limit = std::make_unique<FileSizeLimit>(1000);
            error = store->restoreSnapshot(store->listSnapshots().at(0));
        }
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->errorDescription().startsWith(QString::fromUtf8(c.description)))
            << error->errorDescription().toStdString();
        EXPECT_EQ(names(avid()), QStringList{"Pro Tools"});
        EXPECT_EQ(tree(live()), liveTree("v1"));
    }
}

TEST_F(ProToolsPrefsManagerTest, ResetSavesASnapshotThenRenamesTheFolderAside)
{
    makeLive("v1");
    ASSERT_FALSE(store->resetPreferences().has_value());
    const QString backup = QStringLiteral("Pro Tools (Backup ") + kNowText + u')';
    EXPECT_EQ(names(avid()), QStringList{backup});
    EXPECT_EQ(tree(avid(backup)), liveTree("v1"));
    const auto list = store->listSnapshots();
    ASSERT_EQ(list.size(), 1U);
    EXPECT_EQ(list[0].label, QStringLiteral("Before Reset"));
    EXPECT_EQ(tree(list[0].path()), liveTree("v1"));

    makeLive("v2");
    clock->advance(1);
    files->failMoveTo = {QStringLiteral("Pro Tools (Backup 2025-03-07_091503)")};
    const auto failed = store->resetPreferences();
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->kind, ProToolsPrefsError::Case::resetFailed);
    EXPECT_TRUE(failed->errorDescription().startsWith(QStringLiteral("Reset failed: Could not move")));
    EXPECT_EQ(tree(live()), liveTree("v2"));
}

TEST_F(ProToolsPrefsManagerTest, DeletesASnapshot)
{
    makeLive("v1");
    const ProToolsSnapshot made = save({});
    EXPECT_EQ(made.label, QStringLiteral("Snapshot"));
    ASSERT_FALSE(store->deleteSnapshot(made).has_value());
    EXPECT_TRUE(store->listSnapshots().empty());
    EXPECT_EQ(store->deleteSnapshot(made)->kind, ProToolsPrefsError::Case::fileManager);
}

} // namespace
