#include "MenuBarHelper/snapshots/StudioOnePrefsManager.h"

#include "snapshots/SnapshotStoreTest.h"

namespace {

class StudioOnePrefsManagerTest : public SnapshotStoreTest {
protected:
    void SetUp() override
    {
        SnapshotStoreTest::SetUp();
        store = std::make_unique<StudioOnePrefsManager>(clock, files);
    }

    QString presonus(const QString& name) const
    {
        return usr(QStringLiteral("/Library/Application Support/PreSonus/")) + name;
    }
    QString root() const { return dataDir() + QStringLiteral("/StudioOneSnapshots"); }

    /// A version folder with every item, plus entries that are not items.
    StudioOneVersion makeVersion(const QString& name, const QByteArray& version = "v1")
    {
        const QString folder = presonus(name);
        SnapshotFiles().removeItem(folder);
        writeFile(folder + QStringLiteral("/Studio One.settings"), "s1 " + version);
        writeFile(folder + QStringLiteral("/Studio Pro.settings"), "sp " + version);
        writeFile(folder + QStringLiteral("/WindowState.settings"), "ws " + version);
        writeFile(folder + QStringLiteral("/Surface Data[1]/surface"), "sd " + version);
        writeFile(folder + QStringLiteral("/ARM64/Vstplugins.settings"), "vst " + version);
        writeFile(folder + QStringLiteral("/Vstplugins.settings"), "not an item");
        writeFile(folder + QStringLiteral("/Other.settings"), "other live");
        return {name, name, QUrl::fromLocalFile(folder)};
    }
    static QStringList itemTree(const char* version)
    {
        const QString v = QString::fromUtf8(version);
        return {"ARM64/",
                "ARM64/Vstplugins.settings=vst " + v,
                "Studio One.settings=s1 " + v,
                "Studio Pro.settings=sp " + v,
                "Surface Data[1]/",
                "Surface Data[1]/surface=sd " + v,
                "WindowState.settings=ws " + v};
    }
    static QStringList liveTree(const char* version)
    {
        QStringList entries = itemTree(version);
        entries << "Other.settings=other live"
                << "Vstplugins.settings=not an item";
        entries.sort();
        return entries;
    }

    StudioOneSnapshot save(const QString& label, const StudioOneVersion& version)
    {
        const auto made = store->createSnapshot(label, version);
        EXPECT_TRUE(made.ok()) << (made.ok() ? "" : made.error().errorDescription().toStdString());
        return made.ok() ? made.value() : StudioOneSnapshot{};
    }

    std::unique_ptr<StudioOnePrefsManager> store;
};

TEST_F(StudioOnePrefsManagerTest, FindsVersionsInBothFoldersSortedByName)
{
    EXPECT_TRUE(store->installedVersions().empty());
    EXPECT_FALSE(store->isInstalled());
    for (const char* name :
         {"Studio One 6", "Studio One 5", "Studio One 10", "Studio One", "studio one 9", ".Studio One 8"})
        makeDir(presonus(QString::fromUtf8(name)));
    writeFile(presonus(QStringLiteral("Studio One 7")), "a file");
    makeDir(usr(QStringLiteral("/Library/Application Support/Fender/Studio Pro 7")));
    makeDir(usr(QStringLiteral("/Library/Application Support/Fender/Studio One 4")));

    QStringList found;
    for (const StudioOneVersion& version : store->installedVersions()) {
        found << version.id;
        EXPECT_EQ(version.name, version.id);
    }
    EXPECT_EQ(found, (QStringList{"Studio One", "Studio One 10", "Studio One 5", "Studio One 6", "Studio Pro 7"}));
    EXPECT_EQ(store->installedVersions().back().prefsPath(),
              usr(QStringLiteral("/Library/Application Support/Fender/Studio Pro 7")));
    EXPECT_TRUE(store->isInstalled());

    SnapshotFiles().removeItem(usr(QStringLiteral("/Library")));
    makeDir(root());
    EXPECT_TRUE(store->isInstalled());
}

TEST_F(StudioOnePrefsManagerTest, SavesTheItemsWithTheArchitectureItemsInTheirSubfolder)
{
    const StudioOneVersion six = makeVersion(QStringLiteral("Studio One 6"));
    writeFile(presonus(QStringLiteral("Studio One 6/Arm64/Vstplugins.settings")), "the second folder is ignored");
    const StudioOneVersion five = makeVersion(QStringLiteral("Studio One 5"));

    const StudioOneSnapshot made = save(QStringLiteral("Clean State"), six);
    EXPECT_EQ(made.id, kNowText + QStringLiteral("_Clean State"));
    EXPECT_EQ(made.versionName, QStringLiteral("Studio One 6"));
    EXPECT_EQ(made.path(), root() + QStringLiteral("/Studio One 6/") + made.id);
    EXPECT_EQ(tree(made.path()), itemTree("v1"));
    EXPECT_EQ(made.sizeBytes, 4 * 5 + 6);

    const auto listed = store->listSnapshots(six);
    ASSERT_EQ(listed.size(), 1U);
    EXPECT_EQ(listed[0].id, made.id);
    EXPECT_EQ(listed[0].label, QStringLiteral("Clean State"));
    EXPECT_EQ(listed[0].versionName, QStringLiteral("Studio One 6"));
    EXPECT_TRUE(store->listSnapshots(five).empty());

    // The same label in the same second replaces the first snapshot, every item of it, in one
    // step: the new one is built whole beside it and swapped in.
    makeVersion(QStringLiteral("Studio One 6"), "v2");
    SnapshotFiles().removeItem(presonus(QStringLiteral("Studio One 6/Studio Pro.settings")));
    const auto again = store->createSnapshot(QStringLiteral("Clean State"), six);
    ASSERT_TRUE(again.ok()) << again.error().errorDescription().toStdString();
    EXPECT_EQ(again.value().id, made.id);
    QStringList v2 = itemTree("v2");
    v2.removeAll(QStringLiteral("Studio Pro.settings=sp v2"));
    EXPECT_EQ(tree(made.path()), v2);
    EXPECT_EQ(again.value().sizeBytes, 3 * 5 + 6);
    EXPECT_EQ(names(root() + QStringLiteral("/Studio One 6")), QStringList{made.id}); // nothing hidden left
}

TEST_F(StudioOnePrefsManagerTest, AHomeInsideAnArchitectureFolderMisfilesNothing)
{
    const QString otherHome = home() + QStringLiteral("/ARM64/me");
    makeDir(otherHome);
    qputenv("HOME", otherHome.toUtf8());
    const QString folder = otherHome + QStringLiteral("/Library/Application Support/PreSonus/Studio One 6");
    writeFile(folder + QStringLiteral("/WindowState.settings"), "ws");
    writeFile(folder + QStringLiteral("/ARM64/Vstplugins.settings"), "vst");
    const StudioOneVersion version = store->installedVersions().at(0);
    const StudioOneSnapshot made = save({}, version);
    EXPECT_EQ(made.label, QStringLiteral("Snapshot"));
    EXPECT_EQ(tree(made.path()), (QStringList{"ARM64/", "ARM64/Vstplugins.settings=vst", "WindowState.settings=ws"}));
}

TEST_F(StudioOnePrefsManagerTest, WithoutItemsNothingIsSavedOrResetButARestoreLands)
{
    const QString folder = presonus(QStringLiteral("Studio One 6"));
    writeFile(folder + QStringLiteral("/Other.settings"), "other");
    writeFile(folder + QStringLiteral("/Vstplugins.settings"), "not an item");
    const StudioOneVersion version = store->installedVersions().at(0);
    const auto made = store->createSnapshot(QStringLiteral("x"), version);
    ASSERT_FALSE(made.ok());
    EXPECT_EQ(made.error().errorDescription(), QStringLiteral("No Studio One preference files found."));
    EXPECT_EQ(store->resetPreferences(version)->kind, StudioOnePrefsError::Case::notFound);

    writeFile(root() + QStringLiteral("/Studio One 6/2025-01-01_000000/WindowState.settings"), "ws old");
    ASSERT_FALSE(store->restoreSnapshot(store->listSnapshots(version).at(0), version).has_value());
    EXPECT_EQ(tree(folder),
              (QStringList{"Other.settings=other", "Vstplugins.settings=not an item", "WindowState.settings=ws old"}));
}

TEST_F(StudioOnePrefsManagerTest, RestorePutsTheKnownItemsBackAndKeepsABackup)
{
    const StudioOneVersion version = makeVersion(QStringLiteral("Studio One 6"));
    const StudioOneSnapshot made = save(QStringLiteral("a"), version);
    writeFile(made.path() + QStringLiteral("/Other.settings"), "stray in the snapshot");
    writeFile(made.path() + QStringLiteral("/Rackhand_Backup_x/y"), "stray folder");
    makeVersion(QStringLiteral("Studio One 6"), "v2");

    ASSERT_FALSE(store->restoreSnapshot(made, version).has_value());
    const QString backup = QStringLiteral("Rackhand_BeforeRestore_") + kNowText;
    QStringList expected = liveTree("v1");
    for (const QString& entry :
         {QStringLiteral("Studio One.settings=s1 v2"), QStringLiteral("Studio Pro.settings=sp v2"),
          QStringLiteral("WindowState.settings=ws v2"), QStringLiteral("Surface Data[1]/"),
          QStringLiteral("Surface Data[1]/surface=sd v2"), QStringLiteral("Vstplugins.settings=vst v2")})
        expected << backup + u'/' + entry;
    expected << backup + u'/';
    expected.sort();
    EXPECT_EQ(tree(presonus(QStringLiteral("Studio One 6"))), expected);
}

TEST_F(StudioOnePrefsManagerTest, AFailedRestoreLeavesTheVersionAsItWas)
{
    const struct {
        const char* name;
        bool emptySnapshot;
        bool withoutLiveSubfolder;
        const char* failMoveTo;
        const char* description;
    } cases[] = {
        {"empty snapshot", true, false, "", "Restore failed: Snapshot folder is empty or unreadable."},
        {"backup move fails", false, false, "Surface Data[1]", "Restore failed: Could not back up current prefs: "},
        {"placing the architecture item fails", false, false, "ARM64/Vstplugins.settings",
         "Restore failed: Could not move"},
        {"placing fails after making the sub-folder", false, true, "ARM64/Vstplugins.settings",
         "Restore failed: Could not move"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SnapshotFiles().removeItem(root());
        const StudioOneVersion version = makeVersion(QStringLiteral("Studio One 6"));
        const StudioOneSnapshot made = save(QStringLiteral("a"), version);
        if (c.emptySnapshot) {
            SnapshotFiles().removeItem(made.path());
            makeDir(made.path());
        }
        makeVersion(QStringLiteral("Studio One 6"), "v2");
        if (c.withoutLiveSubfolder)
            SnapshotFiles().removeItem(presonus(QStringLiteral("Studio One 6/ARM64")));
        const QStringList before = tree(version.prefsPath());
        files->failMoveTo = {QString::fromUtf8(c.failMoveTo)};

        const auto error = store->restoreSnapshot(made, version);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind, StudioOnePrefsError::Case::restoreFailed);
        EXPECT_TRUE(error->errorDescription().startsWith(QString::fromUtf8(c.description)))
            << error->errorDescription().toStdString();
        EXPECT_EQ(tree(version.prefsPath()), before);
    }
}

TEST_F(StudioOnePrefsManagerTest, ResetSavesASnapshotThenMovesTheItemsIntoOneBackupFolder)
{
    const StudioOneVersion version = makeVersion(QStringLiteral("Studio One 6"));
    ASSERT_FALSE(store->resetPreferences(version).has_value());
    const QString backup = QStringLiteral("Rackhand_Backup_") + kNowText;
    EXPECT_EQ(tree(version.prefsPath()),
              (QStringList{"ARM64/", "Other.settings=other live", backup + u'/',
                           backup + QStringLiteral("/Studio One.settings=s1 v1"),
                           backup + QStringLiteral("/Studio Pro.settings=sp v1"),
                           backup + QStringLiteral("/Surface Data[1]/"),
                           backup + QStringLiteral("/Surface Data[1]/surface=sd v1"),
                           backup + QStringLiteral("/Vstplugins.settings=vst v1"),
                           backup + QStringLiteral("/WindowState.settings=ws v1"), "Vstplugins.settings=not an item"}));
    const auto listed = store->listSnapshots(version);
    ASSERT_EQ(listed.size(), 1U);
    EXPECT_EQ(listed[0].label, QStringLiteral("Before Reset"));
    EXPECT_EQ(tree(listed[0].path()), itemTree("v1"));

    const StudioOneVersion again = makeVersion(QStringLiteral("Studio One 6"), "v2");
    clock->advance(1);
    files->failMoveTo = {QStringLiteral("Vstplugins.settings")};
    const auto failed = store->resetPreferences(again);
    ASSERT_TRUE(failed.has_value());
    EXPECT_TRUE(failed->errorDescription().startsWith(QStringLiteral("Reset failed: Could not move")));
    EXPECT_EQ(tree(again.prefsPath()), liveTree("v2"));
    ASSERT_TRUE(store->deleteSnapshot(store->listSnapshots(again).at(0)) == std::nullopt);
    EXPECT_EQ(store->listSnapshots(again).size(), 1U);
}

} // namespace
