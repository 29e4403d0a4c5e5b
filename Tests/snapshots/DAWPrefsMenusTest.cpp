#include "MenuBarHelper/snapshots/DAWPrefsMenus.h"

#include "MenuBarHelper/snapshots/LogicProPrefsManager.h"
#include "MenuBarHelper/snapshots/ProToolsPrefsManager.h"
#include "MenuBarHelper/snapshots/StudioOnePrefsManager.h"
#include "Platform/testing/RecordingWorkspace.h"
#include "snapshots/SnapshotStoreTest.h"
#include "widgets/Prompter.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>

namespace {

const QString kWarnOk = QStringLiteral("OK");

struct FamilyCase {
    const char* name;
    std::function<void()> setUp;
    QStringList menuPath;
    const char* resetTitle;
    const char* resetText;
    const char* resetDone;
    const char* restoreText;
    const char* restoredText;
};

class DAWPrefsMenusTest : public SnapshotStoreTest {
protected:
    void SetUp() override
    {
        SnapshotStoreTest::SetUp();
        prompter = std::make_shared<ScriptedPrompter>();
        workspace = std::make_shared<RecordingWorkspace>();
        start(files);
    }
    void TearDown() override
    {
        menus.reset();
        SnapshotStoreTest::TearDown();
    }

    /// A start of the helper: new stores over `work`, and the menus over them.
    void start(const std::shared_ptr<SnapshotFiles>& work)
    {
        stores = storesOver(work);
        menus = std::make_unique<DAWPrefsMenus>(stores, *prompter, workspace, [this] { ++rebuilds; });
    }

    /// One line per item: indentation by depth, the title, "[off]" when disabled, "[x]" when it has an action.
    static QStringList render(const MenuModel& model, int depth = 0)
    {
        QStringList lines;
        for (const MenuItemModel& entry : model) {
            const QString indent(qsizetype(depth) * 2, u' ');
            if (entry.separator) {
                lines << indent + QStringLiteral("---");
                continue;
            }
            lines << indent + entry.title + (entry.enabled ? QString() : QStringLiteral(" [off]")) +
                         (entry.action ? QStringLiteral(" [x]") : QString());
            lines << render(entry.submenu, depth + 1);
        }
        return lines;
    }
    /// The item reached by following titles through submenus.
    static const MenuItemModel* find(const MenuModel& model, const QStringList& path)
    {
        const MenuModel* level = &model;
        const MenuItemModel* found = nullptr;
        for (const QString& title : path) {
            found = nullptr;
            for (const MenuItemModel& entry : *level) {
                if (entry.title == title)
                    found = &entry;
            }
            if (!found)
                return nullptr;
            level = &found->submenu;
        }
        return found;
    }

    QString logicPrefs(const QString& name) const { return usr(QStringLiteral("/Library/Preferences/")) + name; }
    QString logicRoot() const { return dataDir() + QStringLiteral("/LogicProSnapshots"); }
    QString proToolsRoot() const { return dataDir() + QStringLiteral("/ProToolsSnapshots"); }
    QString studioOneRoot() const { return dataDir() + QStringLiteral("/StudioOneSnapshots"); }
    QString studioOnePrefs(const QString& version) const
    {
        return usr(QStringLiteral("/Library/Application Support/PreSonus/")) + version;
    }

    void makeLogicItems()
    {
        writeFile(logicPrefs(QStringLiteral("com.apple.logic10.plist")), "plist");
        writeFile(logicPrefs(QStringLiteral("com.apple.logic.pro.cs")), "cs");
    }
    /// `count` empty snapshot folders a minute apart, the newest labelled "Mix".
    static void makeSnapshots(const QString& root, int count)
    {
        for (int i = 0; i < count; ++i) {
            const QDateTime when = QDateTime(QDate(2025, 1, 1), QTime(0, 0), QTimeZone::utc()).addSecs(60LL * i);
            makeDir(root + u'/' + when.toString(QStringLiteral("yyyy-MM-dd_HHmmss")) +
                    (i == count - 1 ? QStringLiteral("_Mix") : QStringLiteral("_s") + QString::number(i)));
        }
    }

    /// The first lines of the "Pro Tools Prefs" submenu up to the newest of `count` snapshots.
    static QStringList listHead(int count)
    {
        const QDateTime newest =
            QDateTime(QDate(2025, 1, 1), QTime(0, 0), QTimeZone::utc()).addSecs(60LL * (count - 1));
        return {"Pro Tools Prefs",
                "  Reset Pro Tools Preferences… [off]",
                "  ---",
                "  Save Snapshot… [x]",
                "  ---",
                "  Snapshots: [off]",
                "    Mix  —  " + shortDate(newest) + "  (0 KB)",
                "    Restore This Snapshot [x]",
                "    Delete This Snapshot [x]"};
    }

    static QString shortDate(const QDateTime& when)
    {
        return QLocale().toString(when.toLocalTime(), QLocale::ShortFormat);
    }

    static void expectAlert(const Prompter::Alert& alert, const QString& title, const QString& message,
                            const QStringList& buttons, Prompter::Style style)
    {
        EXPECT_EQ(alert.title, title);
        EXPECT_EQ(alert.message, message);
        QStringList texts;
        for (const Prompter::Button& button : alert.buttons)
            texts << button.text;
        EXPECT_EQ(texts, buttons);
        EXPECT_EQ(alert.style, style);
        if (buttons.size() == 2) {
            EXPECT_EQ(alert.buttons[1].role, Prompter::Role::cancel);
        }
    }

    /// Chooses the item at `path` in a freshly built menu.
    void choose(const QStringList& path)
    {
        const MenuModel model = menus->menus();
        const MenuItemModel* entry = find(model, path);
        ASSERT_NE(entry, nullptr) << path.join(u'/').toStdString();
        ASSERT_TRUE(entry->action);
        entry->action();
    }
    /// Chooses `action` in the submenu of the first snapshot listed under `menuPath`.
    void chooseNewestSnapshot(const QStringList& menuPath, const QString& action)
    {
        const MenuModel model = menus->menus();
        const MenuItemModel* menu = find(model, menuPath);
        ASSERT_NE(menu, nullptr);
        const auto first = std::find_if(menu->submenu.cbegin(), menu->submenu.cend(),
                                        [](const MenuItemModel& entry) { return !entry.submenu.empty(); });
        ASSERT_NE(first, menu->submenu.cend());
        const MenuItemModel* chosen = find(first->submenu, {action});
        ASSERT_NE(chosen, nullptr);
        chosen->action();
    }

    /// Each workstation with one snapshot-ready set of preferences, its menu and its texts.
    std::vector<FamilyCase> familyCases();

    std::shared_ptr<ScriptedPrompter> prompter;
    std::shared_ptr<RecordingWorkspace> workspace;
    SnapshotStores stores;
    std::unique_ptr<DAWPrefsMenus> menus;
    int rebuilds = 0;
};

TEST_F(DAWPrefsMenusTest, NothingInstalledShowsThreeNotFoundItems)
{
    EXPECT_EQ(render(menus->menus()),
              (QStringList{"Pro Tools Prefs", "  Pro Tools not found [off]", "Logic Pro Prefs",
                           "  Logic Pro not found [off]", "Studio One Prefs", "  Studio One not found [off]"}));
}

TEST_F(DAWPrefsMenusTest, LogicMenuWithoutSnapshots)
{
    makeLogicItems();
    EXPECT_EQ(render({menus->logicProMenu()}),
              (QStringList{"Logic Pro Prefs", "  Reset Logic Pro Preferences… [x]", "  ---", "  Save Snapshot… [x]",
                           "  No snapshots yet [off]", "  ---", "  Show Snapshots in Finder [x]"}));

    // Only the third item: the store would reset it, but the menu offers no reset.
    SnapshotFiles().removeItem(logicPrefs(QStringLiteral("com.apple.logic10.plist")));
    EXPECT_EQ(render({menus->logicProMenu()})[1], QStringLiteral("  Reset Logic Pro Preferences… [off]"));
}

TEST_F(DAWPrefsMenusTest, ListsAtMostTenSnapshotsAndCountsTheRest)
{
    const struct {
        int count;
        int items;
        const char* more; // empty for none
    } cases[] = {
        {1, 1, ""}, {10, 10, ""}, {11, 10, "    … 1 more in Finder [x]"}, {25, 10, "    … 15 more in Finder [x]"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        SnapshotFiles().removeItem(proToolsRoot());
        makeSnapshots(proToolsRoot(), c.count);
        const QStringList lines = render({menus->proToolsMenu()});
        EXPECT_EQ(lines.mid(0, 9), listHead(c.count));
        EXPECT_EQ(lines.filter(QStringLiteral("Restore This Snapshot")).size(), c.items);
        EXPECT_EQ(lines.contains(QString::fromUtf8(c.more)), *c.more != 0);
        EXPECT_EQ(lines.filter(QStringLiteral("more in Finder")).size(), *c.more ? 1 : 0);
        EXPECT_EQ(lines.mid(lines.size() - 4),
                  (QStringList{"  ---", "  Delete All Snapshots… [x]", "  ---", "  Show Snapshots in Finder [x]"}));
    }
}

TEST_F(DAWPrefsMenusTest, ALongLabelIsShortenedInTheMenuSoTheDateAndSizeStayVisible)
{
    // 230 characters, which the store accepts, with an emoji where the cut falls.
    const QString label = QString(38, u'x') + QStringLiteral("😀") + QString(190, u'y');
    makeDir(proToolsRoot() + QStringLiteral("/2025-01-01_000000_") + label);
    const QStringList lines = render({menus->proToolsMenu()});
    // At most 39 characters and an ellipsis; the emoji's two halves are never split.
    const QString shown = QString(38, u'x') + u'…';
    EXPECT_EQ(lines.filter(QStringLiteral("—")),
              QStringList{"    " + shown + "  —  " +
                          shortDate(QDateTime(QDate(2025, 1, 1), QTime(0, 0), QTimeZone::utc())) + "  (0 KB)"});

    SnapshotFiles().removeItem(proToolsRoot());
    makeDir(proToolsRoot() + QStringLiteral("/2025-01-01_000000_") + label.mid(20, 40));
    EXPECT_TRUE(render({menus->proToolsMenu()})
                    .filter(QStringLiteral("—"))
                    .at(0)
                    .startsWith(QStringLiteral("    ") + label.mid(20, 40) + QStringLiteral("  —  ")));
}

TEST_F(DAWPrefsMenusTest, DeleteAllRemovesEverySnapshotNotOnlyTheListedOnes)
{
    makeSnapshots(proToolsRoot(), 25);
    prompter->nextAnswers = {0};
    choose({"Pro Tools Prefs", "Delete All Snapshots…"});
    ASSERT_EQ(prompter->alerts.size(), 1);
    expectAlert(prompter->alerts[0], QStringLiteral("Delete All Snapshots?"),
                QStringLiteral("All 25 snapshot(s) will be permanently deleted. This cannot be undone."),
                {"Delete All", "Cancel"}, Prompter::Style::warning);
    EXPECT_TRUE(QDir(proToolsRoot()).isEmpty());
    EXPECT_EQ(rebuilds, 1);
}

TEST_F(DAWPrefsMenusTest, StudioOneMenuFollowsTheNumberOfVersions)
{
    makeDir(studioOneRoot());
    EXPECT_EQ(render({menus->studioOneMenu()}), (QStringList{"Studio One Prefs", "  No versions found [off]"}));

    writeFile(studioOnePrefs(QStringLiteral("Studio One 6/WindowState.settings")), "ws");
    EXPECT_EQ(render({menus->studioOneMenu()}),
              (QStringList{"Studio One Prefs", "  Reset Studio One 6 Preferences… [x]", "  ---", "  Save Snapshot… [x]",
                           "  No snapshots yet [off]", "  ---", "  Show Snapshots in Finder [x]"}));

    makeDir(studioOnePrefs(QStringLiteral("Studio One 5")));
    makeSnapshots(studioOneRoot() + QStringLiteral("/Studio One 6"), 11);
    const QStringList lines = render({menus->studioOneMenu()});
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^  \\S"))),
              (QStringList{"  Studio One 5", "  Studio One 6"}));
    EXPECT_TRUE(lines.contains(QStringLiteral("    Reset Studio One 5 Preferences… [x]")));
    EXPECT_TRUE(lines.contains(QStringLiteral("      … 1 more in Finder [x]")));
    EXPECT_EQ(lines.filter(QStringLiteral("No snapshots yet")).size(), 1);
}

std::vector<FamilyCase> DAWPrefsMenusTest::familyCases()
{
    return {
        {"Pro Tools",
         [this] { writeFile(usr(QStringLiteral("/Library/Preferences/Avid/Pro Tools/Prefs")), "p"); },
         {"Pro Tools Prefs"},
         "Reset Pro Tools Preferences?",
         "This renames the Pro Tools preferences folder so Pro Tools regenerates fresh preferences on next launch.\n\n"
         "A snapshot will be saved automatically before the reset.",
         "Pro Tools preferences have been reset. A snapshot was saved automatically.\n\n"
         "Launch Pro Tools to regenerate default preferences.",
         "Restoring \"Before Reset\" will replace your current Pro Tools preferences.\n\n"
         "Your current preferences will be backed up automatically.",
         "Snapshot \"Before Reset\" has been restored. Launch Pro Tools to use the restored preferences."},
        {"Logic Pro",
         [this] { makeLogicItems(); },
         {"Logic Pro Prefs"},
         "Reset Logic Pro Preferences?",
         "This moves your Logic Pro preference files so Logic regenerates fresh defaults on next launch.\n\n"
         "A snapshot will be saved automatically before the reset.\n\n"
         "⚠️ You must restart your Mac after resetting for changes to take full effect.",
         "Logic Pro preferences have been reset and a snapshot was saved automatically.\n\n"
         "⚠️ Restart your Mac, then launch Logic Pro to regenerate default preferences.",
         "Restoring \"Before Reset\" will replace your current Logic Pro preferences.\n\n"
         "Your current preferences will be backed up automatically.\n\n"
         "⚠️ Restart your Mac after restoring for the changes to take full effect.",
         "Snapshot \"Before Reset\" has been restored.\n\n"
         "⚠️ Restart your Mac, then launch Logic Pro to use the restored preferences."},
        {"Studio One, two versions",
         [this] {
             writeFile(studioOnePrefs(QStringLiteral("Studio One 6/Studio One.settings")), "s");
             makeDir(studioOnePrefs(QStringLiteral("Studio One 5")));
         },
         {"Studio One Prefs", "Studio One 6"},
         "Reset Studio One 6 Preferences?",
         "This moves your Studio One 6 settings so Studio One regenerates fresh defaults on next launch.\n\n"
         "A snapshot will be saved automatically before the reset.",
         "Studio One 6 preferences have been reset. A snapshot was saved automatically.\n\n"
         "Launch Studio One to regenerate default preferences.",
         "Restoring \"Before Reset\" will replace your current Studio One 6 preferences.\n\n"
         "Your current preferences will be backed up automatically.",
         "Snapshot \"Before Reset\" has been restored. Relaunch Studio One to use the restored preferences."},
    };
}

TEST_F(DAWPrefsMenusTest, ResetAsksFirstThenTellsWithEachFamilysTexts)
{
    for (const FamilyCase& c : familyCases()) {
        SCOPED_TRACE(c.name);
        c.setUp();
        prompter->alerts.clear();
        rebuilds = 0;
        const QStringList resetItem = c.menuPath + QStringList{QString::fromUtf8(c.resetTitle).chopped(1) + u'…'};

        choose(resetItem); // declined
        ASSERT_EQ(prompter->alerts.size(), 1);
        expectAlert(prompter->alerts[0], QString::fromUtf8(c.resetTitle), QString::fromUtf8(c.resetText),
                    {"Reset", "Cancel"}, Prompter::Style::warning);
        EXPECT_EQ(rebuilds, 0);
        // The store was not called: still no snapshot.
        EXPECT_NE(find(menus->menus(), c.menuPath + QStringList{"No snapshots yet"}), nullptr);

        prompter->nextAnswers = {0, 0};
        choose(resetItem);
        ASSERT_EQ(prompter->alerts.size(), 3);
        expectAlert(prompter->alerts[2], QStringLiteral("Reset Complete"), QString::fromUtf8(c.resetDone), {kWarnOk},
                    Prompter::Style::automatic);
        EXPECT_EQ(rebuilds, 1);
    }
}

TEST_F(DAWPrefsMenusTest, RestoreAsksFirstThenTellsWithEachFamilysTexts)
{
    for (const FamilyCase& c : familyCases()) {
        SCOPED_TRACE(c.name);
        c.setUp();
        prompter->nextAnswers = {0, 0};
        choose(c.menuPath + QStringList{QString::fromUtf8(c.resetTitle).chopped(1) + u'…'});
        prompter->alerts.clear();
        rebuilds = 0;

        prompter->nextAnswers = {0, 0};
        chooseNewestSnapshot(c.menuPath, QStringLiteral("Restore This Snapshot"));
        ASSERT_EQ(prompter->alerts.size(), 2);
        expectAlert(prompter->alerts[0], QStringLiteral("Restore Snapshot?"), QString::fromUtf8(c.restoreText),
                    {"Restore", "Cancel"}, Prompter::Style::warning);
        expectAlert(prompter->alerts[1], QStringLiteral("Snapshot Restored"), QString::fromUtf8(c.restoredText),
                    {kWarnOk}, Prompter::Style::automatic);
        EXPECT_EQ(rebuilds, 1);
    }
}

TEST_F(DAWPrefsMenusTest, SaveAsksForALabelAndTellsWhatTheStoreNamed)
{
    makeLogicItems();
    menus->saveLogicProSnapshot(); // cancelled
    ASSERT_EQ(prompter->textRequests.size(), 1);
    const Prompter::TextRequest& request = prompter->textRequests[0];
    EXPECT_EQ(request.title, QStringLiteral("Name This Snapshot"));
    EXPECT_EQ(request.message, QStringLiteral("Enter a label for this Logic Pro snapshot."));
    EXPECT_EQ(request.placeholder, QStringLiteral("Snapshot label"));
    EXPECT_EQ(request.confirmText, QStringLiteral("Save"));
    EXPECT_TRUE(request.confirmFirst);
    EXPECT_FALSE(request.requireNonBlank);
    EXPECT_EQ(request.maxLength, 64); // a label that fits a folder name and the menu
    EXPECT_TRUE(prompter->alerts.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(logicRoot()));

    prompter->nextTexts = {QStringLiteral("   ")};
    menus->saveLogicProSnapshot();
    ASSERT_EQ(prompter->alerts.size(), 1);
    expectAlert(prompter->alerts[0], QStringLiteral("Snapshot Saved"),
                QStringLiteral("Snapshot \"Snapshot\" saved (0 KB)."), {kWarnOk}, Prompter::Style::automatic);
    EXPECT_EQ(names(logicRoot()), QStringList{kNowText});
    EXPECT_EQ(rebuilds, 1);
}

TEST_F(DAWPrefsMenusTest, ASaveInTheSameSecondShowsTheStoresErrorAndKeepsTheMenu)
{
    makeLogicItems();
    prompter->nextTexts = {QString(), QString()};
    menus->saveLogicProSnapshot();
    menus->saveLogicProSnapshot();
    ASSERT_EQ(prompter->alerts.size(), 2);
    EXPECT_EQ(prompter->alerts[1].title, QStringLiteral("Logic Pro Prefs Error"));
    EXPECT_TRUE(prompter->alerts[1].message.startsWith(QStringLiteral("Snapshot failed: ")));
    EXPECT_EQ(prompter->alerts[1].style, Prompter::Style::critical);
    EXPECT_EQ(rebuilds, 1);
}

TEST_F(DAWPrefsMenusTest, AStoreFailureShowsTheFamilysErrorAlert)
{
    makeDir(logicRoot());
    makeDir(proToolsRoot());
    makeDir(studioOnePrefs(QStringLiteral("Studio One 6")));
    const struct {
        std::function<void()> save;
        const char* prompt;
        const char* title;
        const char* message;
    } cases[] = {
        {[this] { menus->saveLogicProSnapshot(); }, "Enter a label for this Logic Pro snapshot.",
         "Logic Pro Prefs Error", "No Logic Pro preference files found."},
        {[this] { menus->saveProToolsSnapshot(); },
         "Enter a label for this snapshot (e.g. \"Mixing Session\", \"Clean State\").", "Pro Tools Prefs Error",
         "Pro Tools preferences folder not found."},
        {[this] { menus->saveStudioOneSnapshot(QStringLiteral("Studio One 6")); },
         "Enter a label for this Studio One 6 snapshot.", "Studio One Prefs Error",
         "No Studio One preference files found."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        prompter->alerts.clear();
        prompter->nextTexts = {QStringLiteral("x")};
        c.save();
        EXPECT_EQ(prompter->textRequests.last().message, QString::fromUtf8(c.prompt));
        ASSERT_EQ(prompter->alerts.size(), 1);
        expectAlert(prompter->alerts[0], QString::fromUtf8(c.title), QString::fromUtf8(c.message), {kWarnOk},
                    Prompter::Style::critical);
    }
    EXPECT_EQ(rebuilds, 0);
}

TEST_F(DAWPrefsMenusTest, DeleteAsksFirstAndOnlyThenRemoves)
{
    makeSnapshots(logicRoot(), 2);
    const QString id = stores.logicPro->listSnapshots().at(0).id;
    menus->deleteLogicProSnapshot(id); // declined
    ASSERT_EQ(prompter->alerts.size(), 1);
    expectAlert(prompter->alerts[0], QStringLiteral("Delete Snapshot?"),
                QStringLiteral("\"Mix\" will be permanently deleted. This cannot be undone."), {"Delete", "Cancel"},
                Prompter::Style::warning);
    EXPECT_EQ(names(logicRoot()).size(), 2);

    prompter->nextAnswers = {0};
    menus->deleteLogicProSnapshot(id);
    EXPECT_EQ(names(logicRoot()).size(), 1);
    EXPECT_EQ(prompter->alerts.size(), 2); // no success alert
    EXPECT_EQ(rebuilds, 1);

    menus->deleteAllLogicProSnapshots(); // declined
    EXPECT_EQ(prompter->alerts.last().message,
              QStringLiteral("All 1 snapshot(s) will be permanently deleted. This cannot be undone."));
    EXPECT_EQ(names(logicRoot()).size(), 1);
}

TEST_F(DAWPrefsMenusTest, ActionsWithoutAMatchingTargetDoNothing)
{
    makeLogicItems();
    writeFile(studioOnePrefs(QStringLiteral("Studio One 6/Studio One.settings")), "s");
    makeSnapshots(studioOneRoot() + QStringLiteral("/Studio One 6"), 1);
    makeSnapshots(logicRoot(), 1);
    const QString snapshot = QStringLiteral("2025-01-01_000000_Mix");
    const std::function<void()> actions[] = {
        [this] { menus->restoreLogicProSnapshot(std::nullopt); },
        [this] { menus->restoreLogicProSnapshot(QStringLiteral("gone")); },
        [this] { menus->deleteProToolsSnapshot(QStringLiteral("gone")); },
        [this] { menus->deleteAllProToolsSnapshots(); },
        [this, snapshot] { menus->restoreStudioOneSnapshot(snapshot); },
        [this, snapshot] { menus->restoreStudioOneSnapshot(u'|' + snapshot); },
        [this] { menus->restoreStudioOneSnapshot(QStringLiteral("Studio One 6|")); },
        [this, snapshot] { menus->deleteStudioOneSnapshot(QStringLiteral("Studio One 9|") + snapshot); },
        [this] { menus->deleteStudioOneSnapshot(QStringLiteral("Studio One 6|gone")); },
        [this] { menus->resetStudioOnePrefs(std::nullopt); },
        [this] { menus->saveStudioOneSnapshot(QStringLiteral("Studio One 9")); },
        [this] { menus->deleteAllStudioOneSnapshots(QStringLiteral("Studio One 9")); },
    };
    for (const auto& action : actions)
        action();
    EXPECT_TRUE(prompter->alerts.isEmpty());
    EXPECT_TRUE(prompter->textRequests.isEmpty());

    prompter->nextAnswers = {1}; // the well-formed target does ask
    menus->deleteStudioOneSnapshot(QStringLiteral("Studio One 6|") + snapshot);
    ASSERT_EQ(prompter->alerts.size(), 1);
    EXPECT_EQ(prompter->alerts[0].title, QStringLiteral("Delete Snapshot?"));
    EXPECT_EQ(names(studioOneRoot() + QStringLiteral("/Studio One 6")), QStringList{snapshot});
}

TEST_F(DAWPrefsMenusTest, ARestoreCutOffIsFinishedOrUndoneAtStartAndTheUserToldWhereThePreferencesAre)
{
    const QString avid = usr(QStringLiteral("/Library/Preferences/Avid"));
    const struct {
        const char* name;
        std::function<void()> restore;
        bool loseStaging;
        const char* title;
        QString message;
        Prompter::Style style;
    } cases[] = {
        {"Logic Pro, finished", [this] { menus->restoreLogicProSnapshot(stores.logicPro->listSnapshots().at(0).id); },
         false, "Restore Finished",
         QStringLiteral("Restoring \"Mix\" into your Logic Pro preferences was interrupted. Rackhand has now "
                        "finished it.\n\nYour previous preferences are in “%1”.")
             .arg(logicPrefs(QStringLiteral("LogicPro_BeforeRestore_") + kNowText)),
         Prompter::Style::automatic},
        {"Pro Tools, undone", [this] { menus->restoreProToolsSnapshot(QStringLiteral("2025-01-01_000000_Mix")); }, true,
         "Restore Undone",
         QStringLiteral("Restoring \"Mix\" into your Pro Tools preferences was interrupted. Rackhand has put your "
                        "previous preferences back."),
         Prompter::Style::automatic},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeLogicItems();
        writeFile(logicRoot() + QStringLiteral("/2025-01-01_000000_Mix/com.apple.logic10.plist"), "old");
        writeFile(avid + QStringLiteral("/Pro Tools/Prefs"), "live");
        writeFile(proToolsRoot() + QStringLiteral("/2025-01-01_000000_Mix/Prefs"), "old");
        prompter->nextAnswers = {0};
        files->changes = 0;
        files->stopOn = QStringLiteral("move");
        files->stopAt = 1; // after moving the first live item into the backup
        EXPECT_THROW(c.restore(), Stopped);
        if (c.loseStaging) {
            for (const QString& name : hiddenNames(avid))
                if (name.startsWith(QStringLiteral(".rackhand-staging-")))
                    SnapshotFiles().removeItem(avid + u'/' + name);
        }

        // The next start, with stores that know only the disk.
        start(std::make_shared<SnapshotFiles>());
        prompter->alerts.clear();
        rebuilds = 0;
        menus->recoverInterruptedRestores();
        ASSERT_EQ(prompter->alerts.size(), 1);
        expectAlert(prompter->alerts[0], QString::fromUtf8(c.title), c.message, {kWarnOk}, c.style);
        EXPECT_EQ(rebuilds, 1);
        EXPECT_EQ(readFile(logicPrefs(QStringLiteral("com.apple.logic10.plist"))), c.loseStaging ? "plist" : "old");
        EXPECT_EQ(readFile(avid + QStringLiteral("/Pro Tools/Prefs")), "live");

        menus->recoverInterruptedRestores(); // nothing more to say
        EXPECT_EQ(prompter->alerts.size(), 1);
        SnapshotFiles().removeItem(usr(QStringLiteral("/Library")));
        SnapshotFiles().removeItem(dataDir());
        start(files);
    }
}

TEST_F(DAWPrefsMenusTest, ARestoreRecordThatCannotBeReadMovesNothingAndIsToldOnce)
{
    const QString backup = logicPrefs(QStringLiteral("LogicPro_BeforeRestore_2025-01-01_000000"));
    writeFile(backup + QStringLiteral("/com.apple.logic10.plist"), "previous");
    writeFile(backup + QStringLiteral("/.rackhand-restore"), "{ not a record");
    menus->recoverInterruptedRestores();
    ASSERT_EQ(prompter->alerts.size(), 1);
    expectAlert(prompter->alerts[0], QStringLiteral("Restore Interrupted"),
                QStringLiteral("A restore of your preferences was interrupted, and Rackhand could not read what it "
                               "had done, so nothing was moved.\n\nYour previous preferences may be in “%1”.")
                    .arg(backup),
                {kWarnOk}, Prompter::Style::warning);
    EXPECT_EQ(readFile(backup + QStringLiteral("/com.apple.logic10.plist")), "previous");
    menus->recoverInterruptedRestores();
    EXPECT_EQ(prompter->alerts.size(), 1);
}

TEST_F(DAWPrefsMenusTest, ShowInFinderMakesTheFolderAndOpensIt)
{
    menus->openLogicSnapshotFolder();
    menus->openSnapshotFolder();
    menus->openStudioOneSnapshotFolder(QStringLiteral("Studio One 6"));
    menus->openStudioOneSnapshotFolder(std::nullopt);
    menus->openStudioOneSnapshotFolder(QStringLiteral("../../elsewhere"));
    const QStringList folders{logicRoot(), proToolsRoot(), studioOneRoot() + QStringLiteral("/Studio One 6"),
                              studioOneRoot(), studioOneRoot()};
    ASSERT_EQ(workspace->opened().size(), folders.size());
    for (int i = 0; i < folders.size(); ++i) {
        EXPECT_EQ(workspace->opened()[i], QUrl::fromLocalFile(folders[i]));
        EXPECT_TRUE(QFileInfo(folders[i]).isDir());
    }
    EXPECT_FALSE(QFileInfo::exists(dataDir() + QStringLiteral("/elsewhere")));
    EXPECT_EQ(rebuilds, 0);
}

} // namespace
