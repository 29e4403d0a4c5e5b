#include "Platform/UADControlPanel.h"
#include "uadcleanup/UADCleanupFixture.h"

#include <QDir>
#include <QSignalSpy>

#include <functional>
#include <sys/stat.h>

namespace {

QStringList names(const QList<UADPluginAuth>& entries)
{
    QStringList list;
    for (const UADPluginAuth& entry : entries)
        list.append(entry.name);
    return list;
}

const UADPluginAuth* entryNamed(const QList<UADPluginAuth>& entries, const QString& name)
{
    for (const UADPluginAuth& entry : entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

} // namespace

// --- A run, from the control panel to the published lists ---

TEST_F(UADCleanupTest, WithoutTheControlPanelARunEndsWithItsMessageAndKeepsTheUsersFile)
{
    const QString own = writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), profileText());
    panel->setInstalled(false);
    manager().startCleanup();
    EXPECT_TRUE(manager().showCleanupSheet());
    EXPECT_TRUE(manager().isLoading());
    ASSERT_TRUE(settle());
    EXPECT_EQ(manager().errorMessage(), QString::fromUtf8(UADCleanupManager::kNotInstalledMessage));
    EXPECT_TRUE(manager().demoPlugins().isEmpty());
    EXPECT_EQ(panel->exportRequests(), 0);
    EXPECT_EQ(readFile(own), profileText());

    // The Linux backend never claims the vendor's panel.
    EXPECT_FALSE(Platform::createDefaultServices().uadControlPanel->isInstalled());
}

TEST_F(UADCleanupTest, AnExportedProfileIsParsedAndMatchedAgainstTheCatalogue)
{
    seed(uadCatalogue());
    panel->setExport(usr(QStringLiteral("/Desktop/UADSystemProfile.txt")), profileText());
    panel->setRequestError(QStringLiteral("panel busy"));
    manager().startCleanup();
    ASSERT_TRUE(settle());

    EXPECT_EQ(panel->exportRequests(), 1);
    EXPECT_TRUE(printedLines().contains(QStringLiteral("AppleScript error opening UAD: panel busy")));
    EXPECT_FALSE(manager().errorMessage().has_value());
    EXPECT_EQ(names(manager().demoPlugins()),
              (QStringList{"Pultec EQP-1A", "Fairchild 670", "Lexicon 224 Digital Reverb", "Studer A800"}));
    EXPECT_EQ(names(manager().authorizedPlugins()),
              (QStringList{"1176 Classic Limiter Collection", "Teletronix LA-2A"}));
    EXPECT_EQ(names(manager().expiredPlugins()), (QStringList{"Pultec EQP-1A", "Fairchild 670"}));
    EXPECT_EQ(names(manager().activeDemoPlugins()), QStringList{"Lexicon 224 Digital Reverb"});
    EXPECT_EQ(names(manager().notStartedPlugins()), QStringList{"Studer A800"});

    // The Fairchild's only row is off; the Studer has no row and stays selected.
    const auto* fairchild = entryNamed(manager().demoPlugins(), QStringLiteral("Fairchild 670"));
    const auto* studer = entryNamed(manager().demoPlugins(), QStringLiteral("Studer A800"));
    ASSERT_TRUE(fairchild && studer);
    EXPECT_TRUE(fairchild->isAlreadyDisabled);
    EXPECT_FALSE(fairchild->isSelected);
    EXPECT_FALSE(studer->isAlreadyDisabled);
    EXPECT_TRUE(studer->isSelected);
    EXPECT_EQ(manager().alreadyDisabledCount(), 1);
    EXPECT_EQ(manager().selectedCount(), 3);
}

TEST_F(UADCleanupTest, NoFreshExportGivesTheManualStepsAndLeavesAnOlderFileAlone)
{
    const QString older =
        writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), profileText(), 3600);
    manager().startCleanup();
    ASSERT_TRUE(settle());
    EXPECT_EQ(panel->exportRequests(), 1);
    EXPECT_EQ(manager().errorMessage(), UADCleanupManager::manualSaveMessage());
    EXPECT_EQ(manager().errorMessage()->split(u'\n').size(), 6);
    EXPECT_TRUE(manager().demoPlugins().isEmpty());
    EXPECT_EQ(readFile(older), profileText());

    // "Try Again" takes any file on disk, whatever its age.
    manager().retryWithExistingProfile();
    ASSERT_TRUE(settle());
    EXPECT_FALSE(manager().errorMessage().has_value());
    EXPECT_EQ(manager().demoPlugins().size(), 4);
    EXPECT_TRUE(manager().showCleanupSheet());
}

TEST_F(UADCleanupTest, AnExportSavedUnderAnotherNameInALaterFolderIsFound)
{
    panel->setExport(usr(QStringLiteral("/Documents/UADSystemProfile 2.TXT")), profileText());
    manager().startCleanup();
    ASSERT_TRUE(settle());
    EXPECT_FALSE(manager().errorMessage().has_value());
    EXPECT_EQ(manager().demoPlugins().size(), 4);
}

TEST_F(UADCleanupTest, OutcomeTextsWhenNothingIsLeftToDo)
{
    const struct {
        const char* label;
        QByteArray profile;
        std::optional<QString> message;
    } cases[] = {
        {"all authorised", "Plug-in Authorizations\nA: Authorized\nB: Authorized\n",
         QString::fromUtf8(UADCleanupManager::kAllAuthorizedMessage)},
        {"no section", "Nothing here\n", QString::fromUtf8(UADCleanupManager::kAllAuthorizedMessage)},
        {"every demo already off", "Plug-in Authorizations\nFairchild 670: Demo expired\n",
         QString::fromUtf8(UADCleanupManager::kAllAlreadyDisabledMessage)},
        {"a demo without a row", "Plug-in Authorizations\nFairchild 670: Demo expired\nNope: Demo 3 days\n",
         std::nullopt},
    };
    seed(uadCatalogue());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), c.profile);
        manager().retryWithExistingProfile();
        ASSERT_TRUE(settle());
        EXPECT_EQ(manager().errorMessage(), c.message);
    }
    EXPECT_EQ(manager().alreadyDisabledCount(), 1);
}

TEST_F(UADCleanupTest, TheWholeCatalogueIsMatchedNotOnlyItsFirstRows)
{
    QList<AudioPlugin> rows;
    for (int i = 0; i < 10000; ++i)
        rows.append(record(QStringLiteral("Filler %1").arg(i, 5, 10, QLatin1Char('0')), true, QStringLiteral("Acme")));
    rows.append(record(QStringLiteral("UAD Zzz Tape"), false));
    ASSERT_EQ(db().replaceAllPlugins(rows), QString());
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"),
                 "Plug-in Authorizations\nZzz Tape: Demo expired\nOther: Demo 2 days\n");
    manager().retryWithExistingProfile();
    ASSERT_TRUE(settle());
    ASSERT_EQ(manager().demoPlugins().size(), 2);
    EXPECT_TRUE(manager().demoPlugins().first().isAlreadyDisabled);
}

TEST_F(UADCleanupTest, ARunRescansThroughTheViewModelFirst)
{
    // The catalogue says the bundle is on; on disk it already lies in the disabled folder.
    const AudioPlugin stale = record(QStringLiteral("UAD Pultec EQP-1A"));
    seed({stale});
    makeBundle(record(QStringLiteral("UAD Pultec EQP-1A"), false).currentPath);
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"),
                 "Plug-in Authorizations\nPultec EQP-1A: Demo expired\nOther: Demo 2 days\n");
    panel->setExport(usr(QStringLiteral("/Desktop/UADSystemProfile.txt")),
                     "Plug-in Authorizations\nPultec EQP-1A: Demo expired\nOther: Demo 2 days\n");
    manager().setPluginManager(&vm());
    QSignalSpy scans(&vm(), &PluginManagerViewModel::isLoadingChanged);
    manager().startCleanup();
    ASSERT_TRUE(settle());
    EXPECT_EQ(scans.size(), 2);
    ASSERT_EQ(manager().demoPlugins().size(), 2);
    EXPECT_TRUE(manager().demoPlugins().first().isAlreadyDisabled);
}

// --- Reading profile files ---

TEST_F(UADCleanupTest, FindsTheNewestMatchingFileOfTheFirstFolderThatHasOne)
{
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), "old", 600);
    const QString newest =
        writeProfile(QStringLiteral("/Desktop"), QStringLiteral("My UADSystemProfile 2.TXT"), "new", 60);
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("uadsystemprofile.txt"), "lower case", 0);
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral(".UADSystemProfile.txt"), "hidden", 0);
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt.bak"), "other type", 0);
    writeProfile(QStringLiteral("/Downloads"), QStringLiteral("UADSystemProfile.txt"), "later folder", 0);
    makeDir(usr(QStringLiteral("/Desktop/UADSystemProfile 3.txt")));

    EXPECT_EQ(UADCleanupManager::findProfileFile(usr(QStringLiteral("/Desktop"))), newest);
    EXPECT_EQ(UADCleanupManager::findProfileInUserFolders(), newest);
    // Only files from the run's start on count for a fresh export.
    EXPECT_EQ(UADCleanupManager::findProfileInUserFolders(QDateTime::currentDateTimeUtc().addSecs(-30)),
              usr(QStringLiteral("/Downloads/UADSystemProfile.txt")));
    EXPECT_EQ(UADCleanupManager::findProfileFile(usr(QStringLiteral("/Missing"))), std::nullopt);
}

TEST_F(UADCleanupTest, AFifoWithTheProfilesNameIsNeverOpened)
{
    makeDir(usr(QStringLiteral("/Desktop")));
    const QString fifo = usr(QStringLiteral("/Desktop/UADSystemProfile.txt"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(UADCleanupManager::findProfileFile(usr(QStringLiteral("/Desktop"))), std::nullopt);
    EXPECT_EQ(UADCleanupManager::readProfileText(fifo).first, std::nullopt);

    manager().retryWithExistingProfile();
    ASSERT_TRUE(settle());
    EXPECT_EQ(manager().errorMessage(), QString::fromUtf8(UADCleanupManager::kNoProfileOnRetryMessage));
}

TEST_F(UADCleanupTest, WhatIsNoRegularFileOnTheDesktopLeavesTheSearchToALaterFolder)
{
    const QString valid = writeProfile(QStringLiteral("/Downloads"), QStringLiteral("UADSystemProfile.txt"),
                                       "Plug-in Authorizations\nPultec EQP-1A: Demo expired\n", 3600);
    const QString desktop = usr(QStringLiteral("/Desktop"));
    const QString other = usr(QStringLiteral("/Elsewhere"));
    makeDir(other + QStringLiteral("/folder"));
    const struct {
        const char* label;
        std::function<void(const QString& path)> make;
    } cases[] = {
        {"a symlink to a device", [](const QString& path) { QFile::link(QStringLiteral("/dev/null"), path); }},
        {"a folder", [](const QString& path) { makeDir(path); }},
        {"a symlink to a folder",
         [&other](const QString& path) { QFile::link(other + QStringLiteral("/folder"), path); }},
        {"a dangling symlink",
         [&other](const QString& path) { QFile::link(other + QStringLiteral("/missing.txt"), path); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        QDir(desktop).removeRecursively();
        makeDir(desktop);
        c.make(desktop + QStringLiteral("/UADSystemProfile.txt"));
        EXPECT_EQ(UADCleanupManager::findProfileFile(desktop), std::nullopt);
        EXPECT_EQ(UADCleanupManager::findProfileInUserFolders(), valid);

        manager().retryWithExistingProfile();
        ASSERT_TRUE(settle());
        EXPECT_EQ(manager().errorMessage(), std::nullopt);
        EXPECT_EQ(manager().demoPlugins().size(), 1);
    }
}

TEST_F(UADCleanupTest, InvalidUtf8IsAReadErrorAndARetryKeepsTheLists)
{
    seed(uadCatalogue());
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), profileText());
    manager().retryWithExistingProfile();
    ASSERT_TRUE(settle());
    ASSERT_EQ(manager().demoPlugins().size(), 4);

    const QByteArray bad[] = {rawBytes("Plug-in Authorizations\nPultec\xff: Demo expired\n"),
                              rawBytes("Plug-in Authorizations\nPultec: Demo expired\n\xc3")};
    for (const QByteArray& bytes : bad) {
        writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), bytes);
        manager().retryWithExistingProfile();
        ASSERT_TRUE(settle());
        ASSERT_TRUE(manager().errorMessage().has_value());
        EXPECT_TRUE(manager().errorMessage()->startsWith(QStringLiteral("Failed to read UAD System Profile: ")));
        EXPECT_TRUE(manager().errorMessage()->contains(QStringLiteral("UTF-8")));
        EXPECT_EQ(manager().demoPlugins().size(), 4);
    }
}

// --- Selection ---

TEST_F(UADCleanupTest, SelectionHelpersLeaveAlreadyDisabledEntriesAlone)
{
    seed(uadCatalogue());
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), profileText());
    manager().retryWithExistingProfile();
    ASSERT_TRUE(settle());
    auto selected = [this] {
        QStringList list;
        for (const UADPluginAuth& entry : manager().demoPlugins()) {
            if (entry.isSelected)
                list.append(entry.name);
        }
        return list;
    };

    manager().deselectAll();
    EXPECT_TRUE(selected().isEmpty());
    manager().selectAll();
    EXPECT_EQ(selected(), (QStringList{"Pultec EQP-1A", "Lexicon 224 Digital Reverb", "Studer A800"}));
    manager().selectExpiredOnly();
    EXPECT_EQ(selected(), QStringList{"Pultec EQP-1A"});

    // An already-disabled entry can still be toggled, and then counts as selected.
    const UADPluginAuth fairchild = *entryNamed(manager().demoPlugins(), QStringLiteral("Fairchild 670"));
    QSignalSpy changed(&manager(), &UADCleanupManager::demoPluginsChanged);
    manager().toggleSelection(fairchild);
    EXPECT_EQ(selected(), (QStringList{"Pultec EQP-1A", "Fairchild 670"}));
    EXPECT_EQ(manager().selectedCount(), 2);
    EXPECT_EQ(changed.size(), 1);
    UADPluginAuth stranger;
    stranger.id = QUuid::createUuid();
    manager().toggleSelection(stranger);
    EXPECT_EQ(changed.size(), 1);
}
