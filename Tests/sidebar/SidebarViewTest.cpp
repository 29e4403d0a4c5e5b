#include "Platform/MenuBarLoginItem.h"
#include "Platform/linux/XdgAutostartLoginItem.h"
#include "Support/Eventually.h"
#include "Support/ScanAndWait.h"
#include "sidebar/ActionsSection.h"
#include "sidebar/FormatFilterSection.h"
#include "sidebar/GradientTitle.h"
#include "sidebar/ManufacturerFilterSection.h"
#include "sidebar/MenuBarSection.h"
#include "sidebar/ProfileRow.h"
#include "sidebar/ProfilesSection.h"
#include "sidebar/RecentActivitySection.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarFixture.h"
#include "sidebar/StatisticsSection.h"
#include "sidebar/ToggleSwitch.h"
#include "widgets/GlassStyle.h"
#include "widgets/SectionHeaderButton.h"
#include "widgets/ThemedLabel.h"

#include <QFile>
#include <QFileInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

namespace {

const QStringList kIdleParts{QStringLiteral("allPluginsRow"),   QStringLiteral("activeFilterLine"),
                             QStringLiteral("profilesSection"), QStringLiteral("formatsSection"),
                             QStringLiteral("divider"),         QStringLiteral("statisticsSection"),
                             QStringLiteral("menuBarSection"),  QStringLiteral("recentActivitySection")};

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
    EXPECT_EQ(parts.indexOf(QStringLiteral("invertSelection")),
              parts.indexOf(QStringLiteral("manufacturersSection")) + 1);

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
        {"two formats and a maker",
         {PluginFormat::vst3, PluginFormat::aax},
         {QStringLiteral("FabFilter")},
         QStringLiteral("AAX, VST3 · FabFilter")},
        {"two makers",
         {},
         {QStringLiteral("Xfer Records"), QStringLiteral("FabFilter")},
         QStringLiteral("FabFilter, Xfer Records")},
        {"three makers",
         {},
         {QStringLiteral("Soundtoys"), QStringLiteral("FabFilter"), QStringLiteral("Vital Audio")},
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
        EXPECT_EQ(sidebar().clearFiltersButton()->isVisibleTo(&sidebar()),
                  c.formats.size() + c.manufacturers.size() > 0);
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

// Before the first scan has loaded the whole list, the row counts the kept catalogue, as the
// statistics beside it do; a scan's list then takes over.
TEST_F(SidebarViewTest, AllPluginsCountsTheKeptCatalogueBeforeTheFirstScan)
{
    ASSERT_EQ(db().replaceAllPlugins({plugin(QStringLiteral("Pro-Q"), PluginFormat::vst3, true),
                                      plugin(QStringLiteral("Serum"), PluginFormat::vst3, false)}),
              QString());
    vm().refreshFromDatabase();
    ASSERT_TRUE(vm().plugins().isEmpty());
    EXPECT_EQ(sidebar().allPluginsCountText(), QStringLiteral("2"));

    seedCatalogue();
    EXPECT_EQ(sidebar().allPluginsCountText(), QStringLiteral("5"));
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
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sidebar()));
    QCoreApplication::processEvents(); // the opened sections laid out, as before a user's click

    sidebar().allPluginsRow()->click(); // shows Actions and asks for the scroll
    QScrollBar* bar = sidebar().scrollArea()->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    QTest::qWait(SidebarView::kScrollDelayMs);
    // The scroll glides once the delay is over; a loaded machine may take longer to finish it.
    const auto actionsTop = [&] {
        return sidebar().actionsBlock()->mapTo(sidebar().scrollArea()->widget(), QPoint(0, 0)).y();
    };
    ASSERT_GT(actionsTop(), 0);
    RACKHAND_EXPECT_EVENTUALLY_EQ(bar->value(), std::min(actionsTop(), bar->maximum()), 5000);
    EXPECT_GT(bar->value(), 0);
}

// A short window: with Profiles and Actions open the sections reach below the fold. The
// column shows that it scrolls, and the keyboard never lands on a control it cannot see.
TEST_F(SidebarViewTest, AShortColumnScrollsAndFocusBringsAClippedControlIntoView)
{
    seedCatalogue();
    vm().setShowAllPlugins(true);
    SidebarView& view = sidebar();
    view.resize(250, 520);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.profilesSection()->setExpanded(true);
    view.actionsSection()->setExpanded(true);
    view.formatsSection()->setExpanded(true);
    QCoreApplication::processEvents();

    QScrollBar* bar = view.scrollArea()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_TRUE(bar->isVisible());
    QWidget* viewport = view.scrollArea()->viewport();
    const auto shown = [viewport](const QWidget* widget) {
        const QRect box(widget->mapTo(viewport, QPoint(0, 0)), widget->size());
        return viewport->rect().contains(box);
    };
    const struct {
        const char* name;
        QWidget* control;
        Qt::FocusReason reason;
    } moves[] = {
        {"down to the manufacturers' header", view.manufacturersSection()->header(), Qt::TabFocusReason},
        {"back up to All Plugins", view.allPluginsRow(), Qt::BacktabFocusReason},
        {"down again, from elsewhere", view.manufacturersSection()->header(), Qt::OtherFocusReason},
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.name);
        ASSERT_FALSE(shown(move.control));
        move.control->setFocus(move.reason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(move.control->hasFocus());
        EXPECT_TRUE(shown(move.control));
    }
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
    MenuBarLoginItem::setHelperPathOverride(home() + QStringLiteral("/missing/RackhandHelper"));
    // No bus connection of that name: switching off looks for a helper in the sandbox only,
    // never for one of the bus the tests share.
    PlatformServices services = m_doubles.services();
    services.loginItem = std::make_shared<XdgAutostartLoginItem>(
        QString::fromLatin1(MenuBarLoginItem::kIdentifier), MenuBarLoginItem::helperPath(),
        QString::fromLatin1(MenuBarLoginItem::kExecutableName), QStringLiteral("no bus"));
    rebuildViewModel(services);
    const QString entry =
        Paths::configHome() + QStringLiteral("/autostart/com.yourcompany.Rackhand.helper-agent.desktop");
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
    QObject::connect(&vm(), &PluginManagerViewModel::isLoadingChanged, &context,
                     [&] { shownWhileLoading << view.visibleParts().contains(QStringLiteral("scanningIndicator")); });
    ASSERT_TRUE(scanAndWait(vm()));
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

TEST_F(SidebarViewTest, FixedTextsReadAsWritten)
{
    seedCatalogue();
    SidebarView& view = sidebar();
    EXPECT_EQ(view.title()->accessibleName(), QStringLiteral("Rackhand"));
    EXPECT_EQ(view.clearFiltersButton()->toolTip(), QStringLiteral("Clear all filters"));
    EXPECT_EQ(view.invertSelectionButton()->accessibleName(), QStringLiteral("Invert Selection"));

    struct Part {
        const char* label;
        const QWidget* root;
        QStringList texts;
    };
    const QList<Part> parts{
        {"header and All Plugins",
         &view,
         {QStringLiteral("Audio Plugin Management"), QStringLiteral("All Plugins"), QStringLiteral("No active filters"),
          QStringLiteral("Invert Selection"), QStringLiteral("Scanning...")}},
        {"profiles",
         view.profilesSection(),
         {QStringLiteral("Profiles"), QStringLiteral("Save Current State"), QStringLiteral("Create from Selection"),
          QStringLiteral("Import Profile"), QStringLiteral("No saved profiles")}},
        {"actions", view.actionsSection(), {QStringLiteral("Actions")}},
        {"formats",
         view.formatsSection(),
         {QStringLiteral("Plugin Formats"), QStringLiteral("Audio Units"), QStringLiteral("VST3"),
          QStringLiteral("VST"), QStringLiteral("AAX"), QStringLiteral("CLAP"), QStringLiteral("Waves")}},
        {"manufacturers", view.manufacturersSection(), {QStringLiteral("Manufacturers"), QStringLiteral("Clear")}},
        {"statistics",
         view.statisticsSection(),
         {QStringLiteral("Statistics"), QStringLiteral("Total"), QStringLiteral("Enabled"),
          QStringLiteral("Disabled")}},
        {"menu bar",
         view.menuBarSection(),
         {QStringLiteral("Menu Bar"), QStringLiteral("Launch at Login"), QStringLiteral("Monitors for new plugins")}},
        {"recent activity", view.recentActivitySection(), {QStringLiteral("Recent Activity")}},
    };
    for (const Part& part : parts) {
        SCOPED_TRACE(part.label);
        const QStringList shown = labelTexts(part.root);
        for (const QString& text : part.texts)
            EXPECT_TRUE(shown.contains(text)) << text.toStdString();
    }
    // The statistics rows pair each label with its count, in this order.
    const QStringList stats = labelTexts(view.statisticsSection());
    EXPECT_LT(stats.indexOf(QStringLiteral("Total")), stats.indexOf(QStringLiteral("Enabled")));
    EXPECT_LT(stats.indexOf(QStringLiteral("Enabled")), stats.indexOf(QStringLiteral("Disabled")));
    EXPECT_EQ(view.statisticsSection()->totalText(), QStringLiteral("5"));
    EXPECT_EQ(view.statisticsSection()->enabledText(), QStringLiteral("3"));
    EXPECT_EQ(view.statisticsSection()->disabledText(), QStringLiteral("2"));
}

TEST_F(SidebarViewTest, EachHeaderFoldsOnlyItsOwnSection)
{
    seedCatalogue();
    vm().setShowAllPlugins(true); // Actions exists
    SidebarView& view = sidebar();
    const QList<std::pair<QString, SectionHeaderButton*>> headers{
        {QStringLiteral("profiles"), view.profilesSection()->header()},
        {QStringLiteral("actions"), view.actionsSection()->header()},
        {QStringLiteral("formats"), view.formatsSection()->header()},
        {QStringLiteral("manufacturers"), view.manufacturersSection()->header()},
        {QStringLiteral("statistics"), view.statisticsSection()->header()},
        {QStringLiteral("recent"), view.recentActivitySection()->header()},
    };
    const QStringList titles{QStringLiteral("Profiles"),       QStringLiteral("Actions"),
                             QStringLiteral("Plugin Formats"), QStringLiteral("Manufacturers"),
                             QStringLiteral("Statistics"),     QStringLiteral("Recent Activity")};
    for (qsizetype i = 0; i < headers.size(); ++i) {
        const auto& [name, header] = headers[i];
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(header->title(), titles[i]);
        EXPECT_EQ(header->accessibleName().section(u',', 0, 0), titles[i]);
        const std::map<QString, bool> before = expansion();
        header->click();
        std::map<QString, bool> expected = before;
        expected[name] = !before.at(name);
        EXPECT_EQ(expansion(), expected);                // only its own section folds
        EXPECT_EQ(header->isExpanded(), expected[name]); // the chevron follows
        header->click();
        EXPECT_EQ(expansion(), before);
    }
    // Menu Bar cannot fold: it has no header control at all.
    EXPECT_TRUE(view.menuBarSection()->findChildren<SectionHeaderButton*>().isEmpty());

    // expandActions opens Actions and closes Statistics and Recent Activity only.
    view.profilesSection()->setExpanded(true);
    view.recentActivitySection()->setExpanded(true);
    view.statisticsSection()->setExpanded(true);
    view.expandActions();
    const std::map<QString, bool> state = expansion();
    EXPECT_TRUE(state.at(QStringLiteral("actions")));
    EXPECT_TRUE(state.at(QStringLiteral("profiles")));
    EXPECT_FALSE(state.at(QStringLiteral("statistics")));
    EXPECT_FALSE(state.at(QStringLiteral("recent")));
}

TEST_F(SidebarViewTest, FilterLineStaysOnOneLine)
{
    seed({plugin(QStringLiteral("Pro-Q"), PluginFormat::vst3, true, QStringLiteral("Fab\nFilter"))});
    vm().setSelectedManufacturers({QStringLiteral("Fab\nFilter")});
    EXPECT_EQ(sidebar().filterLineText(), QStringLiteral("Fab Filter"));
    EXPECT_EQ(vm().selectedManufacturers(), QSet<QString>{QStringLiteral("Fab\nFilter")}); // the filter is untouched
}

TEST_F(SidebarViewTest, EverythingFitsTheNarrowestColumn)
{
    // The column's narrowest width in the window, with every section open, two profiles
    // with pending changes (one with a long name), long manufacturer and activity names.
    constexpr int kColumnWidth = 250;
    EXPECT_EQ(activityLog().log(QStringLiteral("Ultra Long Plugin Name Of A Vintage Channel Strip Collection"),
                                QStringLiteral("VST3"), ActivityLogEntry::Action::disabled),
              QString());
    seed({plugin(QStringLiteral("Pro-Q"), PluginFormat::vst3, true, QStringLiteral("FabFilter")),
          plugin(QStringLiteral("Kontakt"), PluginFormat::au, false,
                 QStringLiteral("Native Instruments Komplete Ultimate Collectors Edition"))});
    profiles().saveProfile(QStringLiteral("Live"), {});
    profiles().saveProfile(QStringLiteral("Mastering session for the long weekend with every bus"), {});
    SidebarView& view = sidebar();
    vm().setShowAllPlugins(true);
    for (FoldingSection* section : std::initializer_list<FoldingSection*>{
             view.profilesSection(), view.actionsSection(), view.formatsSection(), view.manufacturersSection(),
             view.statisticsSection(), view.recentActivitySection()})
        section->setExpanded(true);
    view.resize(kColumnWidth, 1400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();

    for (int previewed = 0; previewed < 2; ++previewed) {
        SCOPED_TRACE(previewed ? "second profile previewed" : "nothing previewed");
        if (previewed) // the previewed row draws its name in bold
            vm().setActiveProfile(profiles().profiles().at(1));
        QCoreApplication::processEvents();

        QWidget* viewport = view.scrollArea()->viewport();
        // The scroll content follows the column: no horizontal overflow.
        EXPECT_LE(view.minimumSizeHint().width(), kColumnWidth);
        EXPECT_LE(view.scrollArea()->widget()->minimumSizeHint().width(), viewport->width());
        EXPECT_EQ(view.scrollArea()->widget()->width(), viewport->width());
        for (const QString& name : view.visibleParts()) {
            const QWidget* part = view.findChild<QWidget*>(name);
            ASSERT_NE(part, nullptr) << name.toStdString();
            EXPECT_LE(part->minimumSizeHint().width(), kColumnWidth) << name.toStdString();
        }
        // No shown widget reaches past the column's right edge.
        for (const QWidget* widget : view.findChildren<QWidget*>()) {
            if (!widget->isVisible() || widget->isWindow())
                continue;
            const int right = widget->mapTo(&view, QPoint(widget->width(), 0)).x();
            EXPECT_LE(right, kColumnWidth)
                << widget->metaObject()->className() << " " << widget->objectName().toStdString();
        }
        // The counts and the last profile button lie inside the visible area.
        auto insideViewport = [viewport](const QWidget* widget) {
            const QRect box(widget->mapTo(viewport, QPoint(0, 0)), widget->size());
            return box.left() >= 0 && box.right() < viewport->width();
        };
        // The label of `root` that shows `text`.
        auto labelShowing = [](const QWidget* root, const QString& text) -> const QLabel* {
            for (const QLabel* label : root->findChildren<QLabel*>()) {
                if (label->isVisible() && label->text() == text)
                    return label;
            }
            return nullptr;
        };
        QList<std::pair<std::string, const QLabel*>> counts{
            {"All Plugins", labelShowing(view.allPluginsRow(), view.allPluginsCountText())},
            {"Profiles",
             labelShowing(view.profilesSection()->header()->parentWidget(), view.profilesSection()->countText())}};
        for (PluginFormat format : PluginFormats::allCases)
            counts.append({PluginFormats::rawValue(format).toStdString(),
                           labelShowing(view.formatsSection()->row(format), view.formatsSection()->countText(format))});
        for (const auto& [label, count] : counts) {
            SCOPED_TRACE(label);
            ASSERT_NE(count, nullptr);
            EXPECT_TRUE(insideViewport(count));
        }
        const QList<ProfileRow*> rows = view.profilesSection()->findChildren<ProfileRow*>();
        ASSERT_EQ(rows.size(), 2);
        for (const ProfileRow* row : rows) {
            SCOPED_TRACE(row->profile().name.toStdString());
            EXPECT_LE(row->minimumSizeHint().width(), kColumnWidth);
            EXPECT_TRUE(insideViewport(row->deleteButton()));
            EXPECT_GT(row->deleteButton()->width(), 0);
            EXPECT_GE(row->previewButton()->width(), 60); // the name keeps room to be read
        }
        // The long name is cut with an ellipsis, the whole name stays in the tooltip.
        const QString longName = QStringLiteral("Mastering session for the long weekend with every bus");
        const ProfileRow* longRow = rows.at(0)->profile().name == longName ? rows.at(0) : rows.at(1);
        const ThemedLabel* name = nullptr;
        for (const ThemedLabel* label : longRow->findChildren<ThemedLabel*>()) {
            if (label->text() == longName)
                name = label;
        }
        ASSERT_NE(name, nullptr);
        EXPECT_TRUE(name->shownText().endsWith(QChar(0x2026))) << name->shownText().toStdString();
        EXPECT_EQ(longRow->previewButton()->toolTip(), longName);
    }
}

TEST_F(SidebarViewTest, ProfileChangeSummaryIsWholeInTheNarrowestColumn)
{
    // The summary has its own line across the row: only the name gives way.
    profiles().saveProfile(QStringLiteral("Mastering session for the long weekend with every bus"), {});
    SidebarView& view = sidebar();
    view.profilesSection()->setExpanded(true);
    view.resize(250, 900);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
    const QList<ProfileRow*> rows = view.profilesSection()->findChildren<ProfileRow*>();
    ASSERT_EQ(rows.size(), 1);
    ProfileRow* row = rows.first();
    for (bool previewed : {false, true}) {
        row->setPreviewed(previewed); // bold name while previewed
        for (qint64 changes : {qint64(1234), qint64(8888), qint64(1)}) {
            SCOPED_TRACE(changes);
            row->setChangeCount(changes);
            QCoreApplication::processEvents();
            EXPECT_EQ(row->shownSummaryText(), row->summaryText());
            EXPECT_TRUE(row->summaryText().endsWith(QStringLiteral(" to apply")));
            EXPECT_LE(row->mapTo(&view, QPoint(row->width(), 0)).x(), 250);
            EXPECT_LE(row->deleteButton()->mapTo(&view, QPoint(row->deleteButton()->width(), 0)).x(), 250);
        }
        // The elided name ends before the buttons lying over the row.
        for (const ThemedLabel* label : row->findChildren<ThemedLabel*>()) {
            if (label->text() != row->nameText())
                continue;
            EXPECT_TRUE(label->shownText().endsWith(QChar(0x2026)));
            EXPECT_LE(label->mapTo(row, QPoint(label->width(), 0)).x(), row->applyButton()->x());
        }
    }
}
