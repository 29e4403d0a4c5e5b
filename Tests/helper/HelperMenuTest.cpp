#include "MenuBarHelper/HelperLog.h"
#include "MenuBarHelper/StatusItem.h"
#include "Support/TextContrast.h"
#include "helper/HelperFixture.h"
#include "widgets/AppTheme.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>

namespace {

const QStringList kActionTail = {QStringLiteral("Open Rackhand"), QStringLiteral("Check for New Plugins"),
                                 QStringLiteral("Check for Updates"), QStringLiteral("---"),
                                 QStringLiteral("Quit Menu Bar Helper")};

QStringList names(int count)
{
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out.append(QStringLiteral("Plug %1").arg(i));
    return out;
}

} // namespace

using HelperMenuTest = HelperTest;

TEST_F(HelperMenuTest, FirstMenuBeforeTheStateIsLoaded)
{
    delegate = makeDelegate();
    delegate->buildMenu({});
    QStringList expected = {QStringLiteral("Rackhand"), QStringLiteral("No plugins found"), QStringLiteral("---")};
    expected += kActionTail;
    EXPECT_EQ(titles(), expected);
    const MenuModel& menu = delegate->menu();
    EXPECT_TRUE(menu[0].heading);
    EXPECT_FALSE(menu[0].enabled);
    EXPECT_FALSE(menu[1].enabled);
    const struct {
        const char* title;
        const char* key;
    } keys[] = {{"Open Rackhand", "o"},
                {"Check for New Plugins", "r"},
                {"Check for Updates", "u"},
                {"Quit Menu Bar Helper", "q"}};
    for (const auto& row : keys) {
        const MenuItemModel* entry = item(QString::fromLatin1(row.title));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->key, QString::fromLatin1(row.key)) << row.title;
        EXPECT_TRUE(entry->enabled && entry->action) << row.title;
    }
}

TEST_F(HelperMenuTest, CountLineFollowsTheCatalogue)
{
    const struct {
        int enabled;
        int disabled;
        const char* line;
    } rows[] = {{0, 3, "No plugins found"}, {1, 0, "1 plugins enabled"}, {250, 4, "250 plugins enabled"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        writeCatalogue(row.enabled, row.disabled);
        // A plug-in in a folder must not stand in for a catalogue that really counts 0.
        install(QStringLiteral("/Library/Audio/Plug-Ins/VST3"), QStringLiteral("Loose.vst3"));
        start();
        EXPECT_EQ(titles().value(1), QString::fromLatin1(row.line));
        EXPECT_EQ(titles().value(2), QStringLiteral("Last checked: just now"));
    }
}

TEST_F(HelperMenuTest, WithoutACatalogueTheFoldersAreCounted)
{
    install(QStringLiteral("/Library/Audio/Plug-Ins/VST3"), QStringLiteral("A.vst3"));
    install(QStringLiteral("/Library/Audio/Plug-Ins/Components"), QStringLiteral("A.component"));
    start();
    EXPECT_EQ(delegate->totalPluginCount(), 2);
    EXPECT_EQ(titles().value(1), QStringLiteral("2 plugins enabled"));
}

TEST_F(HelperMenuTest, LastCheckedLineAges)
{
    writeCatalogue(2);
    start();
    clock->advance(3'600);
    delegate->rebuildMenu();
    EXPECT_EQ(titles().value(2), QStringLiteral("Last checked: 1h ago"));
}

TEST_F(HelperMenuTest, RelativeTimes)
{
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    const struct {
        qint64 secondsAgo;
        const char* text;
    } rows[] = {{-30, "just now"},   {0, "just now"},    {59, "just now"},
                {60, "1m ago"},      {3'599, "59m ago"}, {3'600, "1h ago"},
                {86'399, "23h ago"}, {86'400, "1d ago"}, {10 * 86'400 + 5, "10d ago"}};
    for (const auto& row : rows)
        EXPECT_EQ(MenuBarAppDelegate::relativeTime(now.addSecs(-row.secondsAgo), now), QString::fromLatin1(row.text))
            << row.secondsAgo;
}

TEST_F(HelperMenuTest, NewPluginsBlock)
{
    const struct {
        int count;
        int bullets;
        const char* more;
    } rows[] = {{1, 1, nullptr}, {5, 5, nullptr}, {6, 5, "   … and 1 more"}, {12, 5, "   … and 7 more"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.count);
        delegate = makeDelegate();
        delegate->buildMenu(names(row.count));
        const QStringList shown = titles();
        const qsizetype header = shown.indexOf(QStringLiteral("🆕 %1 new plugin(s) detected").arg(row.count));
        ASSERT_EQ(header, 3);
        for (int i = 0; i < row.bullets; ++i) {
            EXPECT_EQ(shown.value(header + 1 + i), QStringLiteral("   • Plug %1").arg(i + 1));
            EXPECT_EQ(delegate->menu()[size_t(header + 1 + i)].indent, 1);
        }
        qsizetype next = header + 1 + row.bullets;
        if (row.more) {
            EXPECT_EQ(shown.value(next), QString::fromUtf8(row.more));
            EXPECT_EQ(delegate->menu()[size_t(next)].indent, 0);
            ++next;
        }
        EXPECT_EQ(shown.value(next), QStringLiteral("---"));
        EXPECT_EQ(shown.value(next + 1), QStringLiteral("Open Rackhand"));
    }
}

TEST_F(HelperMenuTest, NewPluginsStayUntilTheMenuHasBeenOpenedOnce)
{
    delegate = makeDelegate();
    delegate->buildMenu({QStringLiteral("Foo")});
    // Rebuilds before anyone looked (the count timer) keep the block.
    delegate->rebuildMenu();
    EXPECT_TRUE(titles().contains(QStringLiteral("   • Foo")));
    delegate->menuWillOpen();
    EXPECT_TRUE(titles().contains(QStringLiteral("   • Foo")));
    delegate->menuWillOpen();
    EXPECT_FALSE(titles().contains(QStringLiteral("   • Foo")));
}

TEST_F(HelperMenuTest, UpdateItemOnlyForANewerVersion)
{
    const struct {
        const char* latest;
        bool shown;
    } rows[] = {{"1.9", false}, {"1.9.0", false}, {"1.8.5", false}, {"1.9.1", true}, {"2.0", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.latest);
        delegate = makeDelegate();
        delegate->applyUpdateAnswer(QString::fromLatin1(row.latest), QStringLiteral("https://rackhand.app/x"));
        const QString title = QStringLiteral("⬆️ Update Available: v") + QString::fromLatin1(row.latest);
        EXPECT_EQ(titles().contains(title), row.shown);
        if (row.shown) {
            EXPECT_EQ(titles().value(titles().indexOf(title) + 1), QStringLiteral("---"));
            item(title)->action();
            ASSERT_EQ(workspace->opened().size(), 1);
            EXPECT_EQ(workspace->opened().first(), QUrl(QStringLiteral("https://rackhand.app/x")));
            workspace = std::make_shared<RecordingWorkspace>();
        }
    }
}

TEST_F(HelperMenuTest, PreferenceMenusSitAboveQuit)
{
    delegate = makeDelegate();
    int builds = 0;
    delegate->setPreferenceMenus([&builds] {
        ++builds;
        MenuItemModel sub;
        sub.title = QStringLiteral("Pro Tools Prefs");
        MenuItemModel entry;
        entry.title = QStringLiteral("Save Snapshot…");
        sub.submenu.push_back(entry);
        return MenuModel{sub};
    });
    delegate->rebuildMenu();
    delegate->rebuildMenu();
    EXPECT_EQ(builds, 2) << "the submenus are built afresh every time";
    const QStringList shown = titles();
    EXPECT_EQ(shown.mid(shown.size() - 5), (QStringList{QStringLiteral("Check for Updates"), QStringLiteral("---"),
                                                        QStringLiteral("Pro Tools Prefs"), QStringLiteral("---"),
                                                        QStringLiteral("Quit Menu Bar Helper")}));
}

TEST_F(HelperMenuTest, QuitRunsTheQuitAction)
{
    delegate = makeDelegate();
    delegate->rebuildMenu();
    item(QStringLiteral("Quit Menu Bar Helper"))->action();
    EXPECT_EQ(quits, 1);
}

// The count, "Last checked" and the new plug-ins' names are information: never chosen, but read
// as every other text of the menu, at 4.5:1 or more.
TEST_F(HelperMenuTest, InformationLinesAreLegibleAndNeverChosen)
{
    writeCatalogue(295);
    start();
    delegate->applyUpdateAnswer(QStringLiteral("9.0"), QStringLiteral("https://rackhand.app/x"));
    delegate->buildMenu({QStringLiteral("Preamp & EQ"), QStringLiteral("Space Echo")});
    StatusItem status(*delegate);
    QMenu* menu = status.menu();
    menu->popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));

    const QStringList lines{QStringLiteral("Rackhand"),
                            QStringLiteral("295 plugins enabled"),
                            QStringLiteral("Last checked: just now"),
                            QStringLiteral("🆕 2 new plugin(s) detected"),
                            QStringLiteral("• Preamp && EQ"),
                            QStringLiteral("• Space Echo")};
    const QList<TextContrast::Reading> readings = TextContrast::read(menu);
    TextContrast::keepPicture(menu, readings, QStringLiteral("helper-menu"), 4.5);
    const QStringList faint = TextContrast::below(readings, 4.5);
    EXPECT_TRUE(faint.isEmpty()) << faint.join(u'\n').toStdString();
    for (const QString& line : lines) {
        SCOPED_TRACE(line.toStdString());
        QAction* action = nullptr;
        for (QAction* candidate : menu->actions()) {
            if (candidate->text().trimmed() == line)
                action = candidate;
        }
        ASSERT_NE(action, nullptr);
        // Read off the picture like any text (not left out as a disabled command)...
        const QRect at = menu->actionGeometry(action);
        const bool read = std::any_of(readings.cbegin(), readings.cend(),
                                      [&](const TextContrast::Reading& r) { return at.contains(r.box.center()); });
        EXPECT_TRUE(read);
        // ...yet a click on it chooses nothing and leaves the menu open.
        QSignalSpy triggered(menu, &QMenu::triggered);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at.center());
        EXPECT_TRUE(triggered.isEmpty());
        EXPECT_TRUE(menu->isVisible());
        EXPECT_FALSE(action->isEnabled());
    }
    menu->hide();
}

TEST(HelperVersions, Comparison)
{
    const struct {
        const char* a;
        const char* b;
        int result;
    } rows[] = {{"1.10", "1.9", 1}, {"1.9", "1.10", -1}, {"1.2", "1.2.0", 0}, {"", "", 0},
                {"2.0b", "2.0", 0}, {"v2.0", "1.0", -1}, {"1.2.1", "1.2", 1}, {"1.2beta.3", "1.3", 0}};
    for (const auto& row : rows)
        EXPECT_EQ(MenuBarAppDelegate::compareVersions(QString::fromLatin1(row.a), QString::fromLatin1(row.b)),
                  row.result)
            << row.a << " vs " << row.b;
}

TEST(HelperNotices, NewPluginsBody)
{
    const struct {
        QStringList names;
        const char* body;
    } rows[] = {
        {{"Foo"}, "Foo was installed. Open Rackhand to manage it."},
        {{"A", "B"}, "2 new plugins installed: A, B. Open Rackhand to manage them."},
        {{"A", "B", "C"}, "3 new plugins installed: A, B, C. Open Rackhand to manage them."},
        {{"A", "B", "C", "D"}, "4 new plugins installed: A, B, C…. Open Rackhand to manage them."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MenuBarAppDelegate::newPluginsNoticeBody(row.names), QString::fromUtf8(row.body));
}

// The program's log sink passes every line through this: lines of the platform layer (the folder
// watch's) get the prefix as well, and the helper's own lines do not get it twice.
TEST(HelperLog, EveryLineCarriesThePrefixOnce)
{
    const struct {
        const char* line;
        const char* logged;
    } rows[] = {
        {"Folder watch limit reached at /x", "🔌 [Rackhand] Folder watch limit reached at /x"},
        {"🔌 [Rackhand] FSEvent fired", "🔌 [Rackhand] FSEvent fired"},
        {"", "🔌 [Rackhand] "},
    };
    for (const auto& row : rows)
        EXPECT_EQ(HelperLog::withPrefix(QString::fromUtf8(row.line)), QString::fromUtf8(row.logged)) << row.line;
}

TEST(HelperTray, MenuFollowsTheModel)
{
    MenuModel model;
    MenuItemModel title;
    title.title = QStringLiteral("Rackhand");
    title.enabled = false;
    title.heading = true;
    model.push_back(title);
    MenuItemModel name;
    name.title = QStringLiteral("   • Preamp & EQ");
    name.enabled = false;
    name.indent = 1;
    model.push_back(name);
    model.push_back(MenuItemModel::makeSeparator());
    int runs = 0;
    MenuItemModel open;
    open.title = QStringLiteral("Open Rackhand");
    open.key = QStringLiteral("o");
    open.action = [&runs] { ++runs; };
    model.push_back(open);
    MenuItemModel sub;
    sub.title = QStringLiteral("Logic Pro Prefs");
    sub.submenu.push_back(open);
    model.push_back(sub);

    QMenu menu;
    StatusItem::populate(&menu, model);
    StatusItem::populate(&menu, model); // a rebuild replaces, never appends
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_TRUE(actions[0]->font().bold());
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_EQ(actions[1]->text(), QStringLiteral("       • Preamp && EQ"));
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_EQ(actions[3]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    ASSERT_NE(actions[4]->menu(), nullptr);
    EXPECT_EQ(actions[4]->menu()->actions().size(), 1);
    EXPECT_EQ(menu.findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly).size(), 2)
        << "the old submenu is being freed";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(menu.findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);

    // The action runs after the menu has handled the click.
    actions[3]->trigger();
    EXPECT_EQ(runs, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

// The icon takes the panel's text colour, and stands out from the panel even where that
// colour is faint: a light icon on a dark panel, a dark one on a light panel.
TEST(HelperTray, TheIconStandsOutOnDarkAndLightPanels)
{
    const struct {
        const char* name;
        const char* window;
        const char* text;
        bool lightIcon;
    } rows[] = {
        {"dark panel", "#202124", "#e8eaed", true},
        {"light panel", "#f4f4f4", "#1f1f1f", false},
        {"dark panel, faint text", "#202124", "#3c4043", true},
        {"light panel, faint text", "#f4f4f4", "#d0d0d0", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QPalette panel;
        panel.setColor(QPalette::Window, QColor(QLatin1String(row.window)));
        panel.setColor(QPalette::WindowText, QColor(QLatin1String(row.text)));
        const QColor drawn = drawnColour(StatusItem::waveformIcon(StatusItem::iconColour(panel)));
        ASSERT_TRUE(drawn.isValid());
        EXPECT_GE(AppTheme::contrastRatio(drawn, panel.color(QPalette::Window)), 4.5) << drawn.name().toStdString();
        EXPECT_EQ(drawn.lightnessF() > 0.5, row.lightIcon) << drawn.name().toStdString();
    }
}
