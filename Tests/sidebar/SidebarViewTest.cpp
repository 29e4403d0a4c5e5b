#include "SidebarFixture.h"

#include "ActionsSection.h"
#include "FormatFilterSection.h"
#include "GlassStyle.h"
#include "GradientTitle.h"
#include "ManufacturerFilterSection.h"
#include "MenuBarLoginItem.h"
#include "MenuBarSection.h"
#include "ProfilesSection.h"
#include "RecentActivitySection.h"
#include "SectionHeaderButton.h"
#include "StatisticsSection.h"
#include "ToggleSwitch.h"

#include <QFile>
#include <QFileInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

namespace {

const QStringList kIdleParts{QStringLiteral("allPluginsRow"),       QStringLiteral("activeFilterLine"),
                             QStringLiteral("profilesSection"),     QStringLiteral("formatsSection"),
                             QStringLiteral("divider"),             QStringLiteral("statisticsSection"),
                             QStringLiteral("menuBarSection"),      QStringLiteral("recentActivitySection")};

} // namespace

class SidebarViewTest : public SidebarTest {
protected:
    void seedCatalogue()
    {
        seed({plugin(QStringLiteral("Pro-Q"), PluginFormat::vst3, true, QStringLiteral("FabFilter")),
              plugin(QStringLiteral("Pro-L"), PluginFormat::aax, false, QStringLiteral("FabFilter")),
              plugin(QStringLiteral("Decapitator"), PluginFormat::au, true, QStringLiteral("Soundtoys")),
              plugin(QStringLiteral("Serum"), PluginFormat::vst3, false, QStringLiteral("Xfer Records")),
              plugin(QStringLiteral("Vital"), PluginFormat::clap, true, QStringLiteral("Vital Audio"))});
    }

    std::map<QString, bool> expansion()
    {
        SidebarView& s = sidebar();
        return {{QStringLiteral("profiles"), s.profilesSection()->isExpanded()},
                {QStringLiteral("actions"), s.actionsSection()->isExpanded()},
                {QStringLiteral("formats"), s.formatsSection()->isExpanded()},
                {QStringLiteral("manufacturers"), s.manufacturersSection()->isExpanded()},
                {QStringLiteral("statistics"), s.statisticsSection()->isExpanded()},
                {QStringLiteral("recent"), s.recentActivitySection()->isExpanded()}};
    }
};

TEST_F(SidebarViewTest, SectionOrderFollowsTheViewModel)
{
    EXPECT_EQ(sidebar().visibleParts(), kIdleParts);
    // Only Statistics starts open.
    for (const auto& [name, open] : expansion())
        EXPECT_EQ(open, name == QStringLiteral("statistics")) << name.toStdString();

    seedCatalogue();
    sidebar().allPluginsRow()->click();
    EXPECT_EQ(sidebar().visibleParts(),
              (QStringList{QStringLiteral("allPluginsRow"), QStringLiteral("activeFilterLine"),
                           QStringLiteral("profilesSection"), QStringLiteral("actionsSection"),
                           QStringLiteral("formatsSection"), QStringLiteral("manufacturersSection"),
                           QStringLiteral("divider"), QStringLiteral("statisticsSection"),
                           QStringLiteral("menuBarSection"), QStringLiteral("recentActivitySection")}));

    // A table selection hides Actions; with a manufacturer filter it shows Invert Selection.
    vm().setSelectedManufacturers({QStringLiteral("FabFilter")});
    vm().syncSelectionDelta({vm().plugins().first().id}, {});
    QStringList parts = sidebar().visibleParts();
    EXPECT_FALSE(parts.contains(QStringLiteral("actionsSection")));
    EXPECT_EQ(parts.indexOf(QStringLiteral("invertSelection")), parts.indexOf(QStringLiteral("manufacturersSection")) + 1);

    // A previewed profile hides the divider and Actions.
    vm().clearSelection();
    profiles().saveProfile(QStringLiteral("Live"), vm().plugins());
    vm().setActiveProfile(profiles().profiles().first());
    parts = sidebar().visibleParts();
    EXPECT_FALSE(parts.contains(QStringLiteral("divider")));
    EXPECT_FALSE(parts.contains(QStringLiteral("actionsSection")));
}

TEST_F(SidebarViewTest, FilterLineSummarisesTheFilters)
{
    struct Case {
        const char* label;
        QSet<PluginFormat> formats;
        QSet<QString> manufacturers;
        QString expected;
    };
    const QList<Case> cases{
        {"none", {}, {}, QStringLiteral("No active filters")},
        {"two formats and a maker", {PluginFormat::vst3, PluginFormat::aax}, {QStringLiteral("FabFilter")},
         QStringLiteral("AAX, VST3 · FabFilter")},
        {"two makers", {}, {QStringLiteral("Xfer Records"), QStringLiteral("FabFilter")},
         QStringLiteral("FabFilter, Xfer Records")},
        {"three makers", {}, {QStringLiteral("Soundtoys"), QStringLiteral("FabFilter"), QStringLiteral("Vital Audio")},
         QStringLiteral("FabFilter +2 more")},
        {"all formats",
         QSet<PluginFormat>(PluginFormats::allCases.begin(), PluginFormats::allCases.end()),
         {},
         QStringLiteral("AAX, Audio Units, CLAP, VST, VST3, Waves")},
    };
    seedCatalogue();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        vm().setSelectedFormats(c.formats);
        vm().setSelectedManufacturers(c.manufacturers);
        EXPECT_EQ(sidebar().filterLineText(), c.expected);
        EXPECT_EQ(sidebar().clearFiltersButton()->isVisibleTo(&sidebar()), c.formats.size() + c.manufacturers.size() > 0);
    }

    // The clear button empties both filters, ends a preview and shows the full list.
    profiles().saveProfile(QStringLiteral("Live"), vm().plugins());
    vm().setActiveProfile(profiles().profiles().first());
    vm().setSelectedManufacturers({QStringLiteral("FabFilter")});
    sidebar().clearFiltersButton()->click();
    EXPECT_TRUE(vm().selectedFormats().isEmpty());
    EXPECT_TRUE(vm().selectedManufacturers().isEmpty());
    EXPECT_FALSE(vm().activeProfile().has_value());
    EXPECT_TRUE(vm().showAllPlugins());
    EXPECT_EQ(sidebar().filterLineText(), QStringLiteral("No active filters"));
    EXPECT_FALSE(sidebar().actionsSection()->isExpanded());
}

TEST_F(SidebarViewTest, AllPluginsRowTogglesTheFullListAndOpensActions)
{
    seedCatalogue();
    EXPECT_EQ(sidebar().allPluginsCountText(), QStringLiteral("5"));
    vm().setSelectedFormats({PluginFormat::vst3});

    sidebar().allPluginsRow()->click();
    EXPECT_TRUE(vm().selectedFormats().isEmpty());
    EXPECT_TRUE(vm().showAllPlugins());
    EXPECT_TRUE(sidebar().allPluginsRow()->isSelected());
    EXPECT_TRUE(sidebar().actionsSection()->isExpanded());
    EXPECT_FALSE(sidebar().statisticsSection()->isExpanded());

    // A second click on the selected row turns the list off and leaves Actions alone.
    sidebar().allPluginsRow()->click();
    EXPECT_FALSE(vm().showAllPlugins());
    EXPECT_FALSE(sidebar().allPluginsRow()->isSelected());
    EXPECT_TRUE(sidebar().actionsSection()->isExpanded());
}

TEST_F(SidebarViewTest, ExpandActionsScrollsToThemAfterTheDelay)
{
    QList<AudioPlugin> many;
    for (int i = 0; i < 40; ++i)
        many << plugin(QStringLiteral("Plug %1").arg(i), PluginFormat::vst3, true, QStringLiteral("Maker %1").arg(i));
    seed(many);
    sidebar().resize(300, 600);
    sidebar().show();
    sidebar().profilesSection()->setExpanded(true);
    profiles().saveProfile(QStringLiteral("A"), vm().plugins());
    profiles().saveProfile(QStringLiteral("B"), vm().plugins());
    profiles().saveProfile(QStringLiteral("C"), vm().plugins());
    sidebar().formatsSection()->setExpanded(true);
    sidebar().manufacturersSection()->setExpanded(true);

    sidebar().allPluginsRow()->click(); // shows Actions and asks for the scroll
    QScrollBar* bar = sidebar().scrollArea()->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    QTest::qWait(SidebarView::kScrollDelayMs + 450);
    const int actionsTop = sidebar().actionsBlock()->mapTo(sidebar().scrollArea()->widget(), QPoint(0, 0)).y();
    ASSERT_GT(actionsTop, 0);
    EXPECT_EQ(bar->value(), std::min(actionsTop, bar->maximum()));
    EXPECT_GT(bar->value(), 0);
}

TEST_F(SidebarViewTest, ResetFoldsEverySectionStatisticsIncluded)
{
    seedCatalogue();
    sidebar().profilesSection()->setExpanded(true);
    sidebar().formatsSection()->setExpanded(true);
    sidebar().manufacturersSection()->setExpanded(true);
    sidebar().actionsSection()->setExpanded(true);
    sidebar().recentActivitySection()->setExpanded(true);
    for (int round = 0; round < 2; ++round) { // every flip of the trigger, either way
        SCOPED_TRACE(round);
        sidebar().profilesSection()->header()->click();
        if (round == 1)
            sidebar().statisticsSection()->header()->click();
        vm().resetView();
        for (const auto& [name, open] : expansion())
            EXPECT_FALSE(open) << name.toStdString();
    }
}

TEST_F(SidebarViewTest, StatisticsShowTheCatalogueCounts)
{
    StatisticsSection* stats = sidebar().statisticsSection();
    EXPECT_EQ(stats->totalText(), QStringLiteral("0"));
    QList<AudioPlugin> rows;
    for (int i = 0; i < 1234; ++i)
        rows << plugin(QStringLiteral("P%1").arg(i), PluginFormat::vst3, i % 4 != 0);
    seed(rows);
    EXPECT_EQ(stats->totalText(), QStringLiteral("1234"));
    EXPECT_EQ(stats->enabledText(), QStringLiteral("925"));
    EXPECT_EQ(stats->disabledText(), QStringLiteral("309"));

    stats->header()->click();
    EXPECT_FALSE(stats->isExpanded());
    stats->header()->click();
    EXPECT_TRUE(stats->isExpanded());
}

TEST_F(SidebarViewTest, HelperSwitchWritesAndRemovesTheAutostartEntry)
{
    MenuBarLoginItem::setService({});
    MenuBarLoginItem::setHelperPathOverride(home() + QStringLiteral("/missing/RackhandHelper"));
    const QString entry = Paths::configHome() + QStringLiteral("/autostart/com.yourcompany.Rackhand.helper-agent.desktop");
    ToggleSwitch* toggle = sidebar().menuBarSection()->launchAtLoginSwitch();
    EXPECT_FALSE(toggle->isChecked());

    toggle->click();
    EXPECT_TRUE(QFileInfo(entry).isFile());
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(readFile(entry).contains("Exec="));

    toggle->click();
    EXPECT_FALSE(QFileInfo::exists(entry));
    EXPECT_FALSE(toggle->isChecked());

    // A registration that fails leaves the switch off and says why in one line.
    QFile::remove(Paths::configHome() + QStringLiteral("/autostart"));
    QDir(Paths::configHome()).rmdir(QStringLiteral("autostart"));
    writeFile(Paths::configHome() + QStringLiteral("/autostart"), "not a folder");
    clearPrintedLines();
    toggle->click();
    EXPECT_FALSE(toggle->isChecked());
    ASSERT_EQ(printedLines().size(), 1);
    EXPECT_TRUE(printedLines().first().startsWith(QStringLiteral("MenuBarLoginItem: Failed to register: ")));
    MenuBarLoginItem::setHelperPathOverride({});
}

TEST_F(SidebarViewTest, ScanningIndicatorShowsOnlyWhileLoading)
{
    SidebarView& view = sidebar();
    QList<bool> shownWhileLoading;
    QObject context;
    QObject::connect(&vm(), &PluginManagerViewModel::isLoadingChanged, &context, [&] {
        shownWhileLoading << view.visibleParts().contains(QStringLiteral("scanningIndicator"));
    });
    vm().scanForPlugins();
    EXPECT_EQ(shownWhileLoading, (QList<bool>{true, false}));
}

TEST_F(SidebarViewTest, TitleTurnsOnceEverySixSecondsAtThirtyFrames)
{
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_DOUBLE_EQ(GradientTitle::rotationAt(reference.addMSecs(1500)), 90.0);
    EXPECT_DOUBLE_EQ(GradientTitle::rotationAt(reference.addSecs(6 * 1000)), 0.0);
    EXPECT_GE(GradientTitle::kFrameIntervalMs, 1000 / 30);
    sidebar().show();
    EXPECT_TRUE(sidebar().title()->isAnimating());
    sidebar().hide();
    EXPECT_FALSE(sidebar().title()->isAnimating());
}
