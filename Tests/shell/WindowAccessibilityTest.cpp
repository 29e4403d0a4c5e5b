#include "Support/Eventually.h"
#include "pluginlist/BulkActionsView.h"
#include "pluginlist/ExportSheet.h"
#include "pluginlist/MainContentView.h"
#include "pluginlist/PluginListView.h"
#include "pluginlist/SearchBar.h"
#include "shell/AccessibleWalk.h"
#include "shell/NewPluginsBanner.h"
#include "shell/NewPluginsSheet.h"
#include "shell/ShellFixture.h"
#include "sidebar/ActivityLogRow.h"
#include "sidebar/ActivityLogView.h"
#include "sidebar/RecentActivitySection.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarView.h"
#include "widgets/FoldingSection.h"
#include "widgets/SectionHeaderButton.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

/// The real window (sidebar and main content area), driven by keys and read through the
/// accessibility interfaces.
class WindowAccessibilityTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        seams = ContentViewSeams::defaults();
    }

    QString vst3(const QString& name) const { return sys("/Library/Audio/Plug-Ins/VST3/") + name + ".vst3"; }
    AudioPlugin bundle(const QString& name, const QString& manufacturer = QStringLiteral("Acme"))
    {
        makeBundle(vst3(name));
        AudioPlugin plugin = record(name, PluginFormat::vst3, vst3(name), true);
        plugin.manufacturer = manufacturer;
        return plugin;
    }
    /// The window over a few plug-ins, shown, with its start-up over and the table listed.
    void showWithPlugins()
    {
        for (const char* name : {"Alpha", "Beta", "Gamma"})
            bundle(QString::fromLatin1(name), QStringLiteral("Maker ") + QLatin1Char(name[0]));
        ASSERT_TRUE(showAndWaitForStartup());
        view().activateWindow();
        view().pluginManager().setShowAllPlugins(true);
        QTest::qWait(50);
    }
    MainContentView* main() { return qobject_cast<MainContentView*>(view().mainContent()); }
    SidebarView* sidebar() { return qobject_cast<SidebarView*>(view().sidebar()); }
    void collectFirstRow()
    {
        const QUuid id = view().pluginManager().displayedPlugins().first().id;
        view().pluginManager().setSelectedPlugins({id});
        view().pluginManager().syncSelectionDelta({id}, {});
        QTest::qWait(50);
    }
    static bool inside(const QWidget* widget, const QWidget* root) { return widget && root->isAncestorOf(widget); }
};

// Forward Tab: search, the header's buttons, the table (once), the bulk panel, then the sidebar.
TEST_F(WindowAccessibilityTest, ForwardTabLeavesTheTableForTheBulkPanelAndThenTheSidebar)
{
    showWithPlugins();
    collectFirstRow();
    ASSERT_NE(main(), nullptr);
    QLineEdit* search = main()->searchBar()->findChild<QLineEdit*>();
    ASSERT_NE(search, nullptr);
    search->setFocus(Qt::TabFocusReason);
    QList<QWidget*> order{QApplication::focusWidget()};
    for (int i = 0; i < 60 && !inside(QApplication::focusWidget(), sidebar()); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget());
    }
    const auto position = [&order](const QWidget* widget) { return int(order.indexOf(const_cast<QWidget*>(widget))); };
    const auto firstInside = [&order](const QWidget* root) {
        for (int i = 0; i < order.size(); ++i) {
            if (inside(order.at(i), root))
                return i;
        }
        return -1;
    };
    QTableView* table = main()->listView()->table();
    ASSERT_TRUE(inside(order.last(), sidebar())) << "Tab never reached the sidebar";
    EXPECT_EQ(order.count(table), 1);
    const int bulk = firstInside(main()->bulkActionsView());
    ASSERT_GE(bulk, 0) << "Tab never reached the bulk panel";
    const QList<int> expected{position(search),
                              position(main()->resetButton()),
                              position(main()->scanButton()),
                              position(main()->exportButton()),
                              position(table),
                              bulk,
                              int(order.size()) - 1};
    for (int i = 1; i < expected.size(); ++i)
        EXPECT_LT(expected.at(i - 1), expected.at(i)) << "step " << i;
}

// The start builds the columns over several event-loop turns: the Tab chain and its names come
// out as in a view whose parts were asked for, and so built, at once.
TEST_F(WindowAccessibilityTest, ColumnsBuiltTurnByTurnKeepTheTabChainOfAViewBuiltAtOnce)
{
    const auto chain = [](QWidget* root) {
        QStringList stops;
        for (QWidget* w = root->nextInFocusChain(); w != root; w = w->nextInFocusChain()) {
            if (root->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) != 0)
                stops.append(QString::fromLatin1(w->metaObject()->className()) + u'/' + w->objectName() + u'/' +
                             w->accessibleName());
        }
        return stops;
    };
    ASSERT_NE(view().sidebar(), nullptr);
    ASSERT_TRUE(view().isBuilt());
    const QStringList atOnce = chain(&view());
    ASSERT_GT(atOnce.size(), 10);
    closeView();

    ContentView& turnByTurn = view();
    EXPECT_FALSE(turnByTurn.isBuilt());
    QSignalSpy built(&turnByTurn, &ContentView::built);
    ASSERT_TRUE(built.wait(10000));
    EXPECT_TRUE(turnByTurn.isBuilt());
    EXPECT_EQ(chain(&turnByTurn), atOnce);
    // As the columns stand: the sidebar's stops, then the content area's.
    bool inContent = false;
    for (QWidget* w = turnByTurn.nextInFocusChain(); w != &turnByTurn; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) == 0)
            continue;
        inContent = inContent || inside(w, turnByTurn.mainContent());
        EXPECT_FALSE(inContent && inside(w, turnByTurn.sidebar())) << qPrintable(w->accessibleName());
    }
    EXPECT_TRUE(inContent);
    QTest::qWait(20);
    EXPECT_EQ(built.count(), 1);
}

// Controls made after the rest of the window (the bulk panel's format chips, the activity
// log's, made when its section opens) take their place in the Tab chain where they show.
TEST_F(WindowAccessibilityTest, LateControlsTakeTheirPlaceInTheTabChain)
{
    EXPECT_EQ(activityLog().log(QStringLiteral("Alpha"), QStringLiteral("VST3"), ActivityLogEntry::Action::enabled),
              QString());
    EXPECT_EQ(activityLog().log(QStringLiteral("Beta"), QStringLiteral("VST3"), ActivityLogEntry::Action::disabled),
              QString());
    makeBundle(sys("/Library/Audio/Plug-Ins/Components/Alpha.component"));
    showWithPlugins();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view()));
    PluginManagerViewModel& vm = view().pluginManager();
    QSet<QUuid> alpha;
    for (const AudioPlugin& plugin : vm.plugins()) {
        if (plugin.name == QLatin1String("Alpha"))
            alpha.insert(plugin.id);
    }
    ASSERT_EQ(alpha.size(), 2);
    vm.setSelectedPlugins(alpha);
    vm.syncSelectionDelta(alpha, {});
    QTest::qWait(50);
    BulkActionsView* bulk = main()->bulkActionsView();
    QAbstractButton* audioUnits = bulk->formatChip(PluginFormat::au);
    QAbstractButton* vst3 = bulk->formatChip(PluginFormat::vst3);
    ASSERT_NE(audioUnits, nullptr);
    ASSERT_NE(vst3, nullptr);
    bulk->deleteButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(bulk->deleteButton(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), audioUnits);
    QTest::keyClick(audioUnits, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), vst3);

    RecentActivitySection* recent = sidebar()->recentActivitySection();
    recent->setExpanded(true);
    QTest::qWait(20);
    ASSERT_NE(recent->logView(), nullptr);
    recent->header()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(recent->header(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(recent->logView()->clearButton()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const QList<ActivityLogRow*> rows = recent->logView()->rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(QApplication::focusWidget(), rows.first()) << "the entries, not an empty area around them";
}

TEST_F(WindowAccessibilityTest, NoFocusableOrActionableObjectIsNamelessInAnyMainState)
{
    showWithPlugins();
    EXPECT_EQ(namelessControls(&view()), QStringList()) << "at start";

    collectFirstRow();
    ASSERT_TRUE(main()->bulkActionsView()->isVisible());
    EXPECT_EQ(namelessControls(&view()), QStringList()) << "with a selection in the bulk panel";

    for (FoldingSection* section : sidebar()->findChildren<FoldingSection*>()) {
        const QString title = section->header()->accessibleName();
        if (!section->isVisible())
            continue;
        if (!section->isExpanded())
            section->header()->click();
        QTest::qWait(20);
        EXPECT_EQ(namelessControls(&view()), QStringList()) << "with " << title.toStdString() << " open";
    }

    QTest::mouseClick(main()->exportButton(), Qt::LeftButton);
    ASSERT_NE(main()->exportSheet(), nullptr);
    EXPECT_EQ(namelessControls(main()->exportSheet()), QStringList()) << "export sheet";
    main()->exportSheet()->reject();

    view().uadCleanup().startCleanup();
    QTest::qWait(20);
    if (view().uadCleanupSheet()) {
        EXPECT_EQ(namelessControls(view().uadCleanupSheet()), QStringList()) << "clean-up sheet";
        view().uadCleanupSheet()->reject();
    }
}

TEST_F(WindowAccessibilityTest, TheNewPluginsSheetHasNoNamelessControls)
{
    view().profileManager().saveProfile(QStringLiteral("Live"), {});
    bundle(QStringLiteral("Alpha"));
    ASSERT_TRUE(showAndWaitForStartup());
    RACKHAND_ASSERT_EVENTUALLY_EQ(view().newPluginsBanner()->maximumHeight(), QWIDGETSIZE_MAX, 2000);
    EXPECT_EQ(namelessControls(view().newPluginsBanner()), QStringList()) << "banner";
    QTest::mouseClick(view().newPluginsBanner()->addButton(), Qt::LeftButton);
    ASSERT_NE(view().newPluginsSheet(), nullptr);
    EXPECT_EQ(namelessControls(view().newPluginsSheet()), QStringList()) << "sheet";
    view().newPluginsSheet()->reject();
}
