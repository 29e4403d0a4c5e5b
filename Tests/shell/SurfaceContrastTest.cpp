#include "Support/Eventually.h"
#include "Support/TextContrast.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/SteppedScheduler.h"
#include "pluginlist/BulkActionsView.h"
#include "pluginlist/BulkListModel.h"
#include "pluginlist/ExportSheet.h"
#include "pluginlist/MainContentView.h"
#include "pluginlist/PluginListView.h"
#include "pluginlist/PluginTableModel.h"
#include "shell/NewPluginsBanner.h"
#include "shell/NewPluginsOffer.h"
#include "shell/ShellFixture.h"
#include "shell/UpdateBanner.h"
#include "sidebar/ActionsSection.h"
#include "sidebar/FormatFilterSection.h"
#include "sidebar/ManufacturerFilterSection.h"
#include "sidebar/ProfilesSection.h"
#include "sidebar/RecentActivitySection.h"
#include "sidebar/SidebarView.h"
#include "uadcleanup/UADCleanupFixture.h"
#include "uadcleanup/ui/UADCleanupSheet.h"
#include "widgets/AppTheme.h"

#include <QApplication>
#include <QDialog>
#include <QListView>
#include <QMenu>
#include <QTest>
#include <QVariantAnimation>

#include <algorithm>
#include <functional>
#include <ostream>

namespace {

constexpr double kTextMinimum = 4.5;

enum class Appearance { light, dark };

void PrintTo(Appearance appearance, std::ostream* os)
{
    *os << (appearance == Appearance::dark ? "dark" : "light");
}

// A desktop in its dark appearance: the style's palette turned to light text on dark grounds.
QPalette darkPalette()
{
    QPalette palette = QApplication::palette();
    const QColor window(53, 53, 53);
    const QColor text(Qt::white);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, QColor(42, 42, 42));
        palette.setColor(group, QPalette::AlternateBase, QColor(66, 66, 66));
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Button, window);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Highlight, QColor(42, 130, 218));
        palette.setColor(group, QPalette::HighlightedText, text);
        palette.setColor(group, QPalette::PlaceholderText, QColor(255, 255, 255, 128));
        palette.setColor(group, QPalette::ToolTipBase, window);
        palette.setColor(group, QPalette::ToolTipText, text);
    }
    return palette;
}

} // namespace

/// Every surface of the window photographed in the states a user meets, and every text on it
/// measured against the ground it is drawn on, in the light and in the dark appearance.
class SurfaceContrastTest : public ShellTest, public testing::WithParamInterface<Appearance> {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        seams = ContentViewSeams::defaults();
        seams.onboardingSheet = nullptr;
        // As the program starts: the style's palette made legible.
        m_palette = QApplication::palette();
        QPalette start = m_palette;
        if (GetParam() == Appearance::dark)
            start = darkPalette();
        QApplication::setPalette(AppTheme::legiblePalette(start));
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        QApplication::setPalette(m_palette);
    }

    MainContentView* main() { return qobject_cast<MainContentView*>(view().mainContent()); }
    SidebarView* sidebar() { return qobject_cast<SidebarView*>(view().sidebar()); }

    AudioPlugin plugin(const QString& name, PluginFormat format, bool enabled, const QString& manufacturer,
                       const QString& version = QStringLiteral("1.2.0"))
    {
        const QString folder = format == PluginFormat::au ? QStringLiteral("/Library/Audio/Plug-Ins/Components/")
                                                          : QStringLiteral("/Library/Audio/Plug-Ins/VST3/");
        AudioPlugin p =
            record(name, format, sys(folder + name + u'.' + PluginFormats::fileExtensions(format).first()), enabled);
        p.manufacturer = manufacturer;
        p.version = version;
        if (enabled)
            p.lastUsed = clock->now().addDays(-3);
        return p;
    }

    /// A catalogue with every kind of row: enabled and disabled, several formats of one
    /// name, Waves and a WaveShell, no maker, no version, more than a page.
    QList<AudioPlugin> catalogue()
    {
        QList<AudioPlugin> plugins{
            plugin(QStringLiteral("Alpha Comp"), PluginFormat::vst3, true, QStringLiteral("FabFilter")),
            plugin(QStringLiteral("Alpha Comp"), PluginFormat::au, false, QStringLiteral("FabFilter")),
            plugin(QStringLiteral("Bravo EQ"), PluginFormat::vst3, false, QString(), QString()),
            plugin(QStringLiteral("C1 Compressor"), PluginFormat::wavesBundle, true, QStringLiteral("Waves"),
                   QStringLiteral("V14")),
            plugin(QStringLiteral("WaveShell1-VST3 14.12"), PluginFormat::vst3, true, QStringLiteral("Waves")),
        };
        for (int i = 0; i < 110; ++i)
            plugins.append(plugin(QStringLiteral("Plugin %1").arg(i, 3, 10, QLatin1Char('0')),
                                  i % 3 ? PluginFormat::vst3 : PluginFormat::clap, i % 4 != 0,
                                  QStringLiteral("Maker %1").arg(i % 7)));
        return plugins;
    }

    void settle(int ms = 120)
    {
        QTest::qWait(ms);
        QApplication::processEvents();
    }

    /// Every text of `window` at 4.5:1 or more; the picture is kept when asked for.
    void expectLegible(QWidget* window, const QString& name)
    {
        const QString surface =
            (GetParam() == Appearance::dark ? QStringLiteral("dark-") : QStringLiteral("light-")) + name;
        SCOPED_TRACE(surface.toStdString());
        const QList<TextContrast::Reading> readings = TextContrast::read(window);
        if (qEnvironmentVariableIsSet("RACKHAND_CONTRAST_ALL")) {
            for (const auto& r : readings)
                qDebug().noquote() << TextContrast::describe(r);
        }
        TextContrast::keepPicture(window, readings, surface, kTextMinimum);
        EXPECT_FALSE(readings.isEmpty()) << "no text read";
        const QStringList faint = TextContrast::below(readings, kTextMinimum);
        EXPECT_TRUE(faint.isEmpty()) << faint.size() << " texts below " << kTextMinimum << ":1\n"
                                     << faint.join(u'\n').toStdString();
    }

    QPalette m_palette;

    void openEverySidebarSection()
    {
        SidebarView* bar = sidebar();
        for (FoldingSection* section :
             std::initializer_list<FoldingSection*>{bar->profilesSection(), bar->formatsSection(),
                                                    bar->manufacturersSection(), bar->recentActivitySection()})
            section->setExpanded(true);
    }
};

TEST_P(SurfaceContrastTest, MainWindowInEveryState)
{
    ASSERT_TRUE(showAndWaitForStartup());
    view().resize(1400, 900);
    seed(catalogue());
    PluginManagerViewModel& vm = view().pluginManager();
    view().profileManager().saveProfile(QStringLiteral("Mixing"), vm.plugins().mid(0, 40));
    view().profileManager().saveProfile(QStringLiteral("Tracking"), vm.plugins().mid(20, 40));
    EXPECT_EQ(
        activityLog().log(QStringLiteral("Alpha Comp"), QStringLiteral("VST3"), ActivityLogEntry::Action::enabled),
        QString());
    EXPECT_EQ(activityLog().log(QStringLiteral("Bravo EQ"), QStringLiteral("VST3"), ActivityLogEntry::Action::disabled),
              QString());
    EXPECT_EQ(activityLog().log(QStringLiteral("Old Reverb"), QStringLiteral("AU"), ActivityLogEntry::Action::deleted),
              QString());
    // The start-up's own update check must have answered, or its answer would hide the banner.
    RACKHAND_ASSERT_EVENTUALLY(checker.runningChecks() == 0, 10000);
    checker.apply({QStringLiteral("2.5.0"), QStringLiteral("https://downloads.rackhand.app/R.dmg"),
                   QStringLiteral("Faster scans and a new export."), true});
    view().newPlugins().offer(vm.plugins().mid(0, 4));
    openEverySidebarSection();
    settle(400);
    ASSERT_TRUE(view().updateBanner()->isVisible());
    ASSERT_TRUE(view().newPluginsBanner()->isVisible());
    expectLegible(&view(), QStringLiteral("window-placeholder"));

    vm.setShowAllPlugins(true);
    settle();
    sidebar()->expandActions();
    settle(200);
    expectLegible(&view(), QStringLiteral("window-all-plugins"));

    // A selection: the table's selected rows, the bulk panel with its chips, notices and badges.
    QSet<QUuid> picked;
    for (const AudioPlugin& p : vm.plugins()) {
        if (!p.name.startsWith(QLatin1String("Plugin 0")) || p.name < QLatin1String("Plugin 005"))
            picked.insert(p.id);
    }
    vm.setSelectedPlugins(picked);
    vm.syncSelectionDelta(picked, {});
    settle(1500); // past the new rows' flash
    BulkActionsView* bulk = main()->bulkActionsView();
    ASSERT_TRUE(bulk->isVisible());
    bulk->listModel()->toggleMarked(QStringLiteral("Alpha Comp"));
    const ConsolidatedPlugin* first = bulk->listModel()->entry(0);
    ASSERT_NE(first, nullptr);
    vm.toggleBulkVariant(first->variants.first().id);
    settle(500); // the list's scroll to its newest entry is over
    expectLegible(&view(), QStringLiteral("window-selection"));
    // Its top too: the marked row and the switched-off badge.
    bulk->list()->scrollToTop();
    settle();
    expectLegible(&view(), QStringLiteral("window-selection-top"));

    // The row menu.
    PluginListView* list = main()->listView();
    QMenu* menu = list->createContextMenu(list->model()->index(0, PluginTableModel::nameColumn), &view());
    menu->popup(view().mapToGlobal(QPoint(600, 300)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    expectLegible(menu, QStringLiteral("window-row-menu"));
    menu->close();
    delete menu;

    vm.clearSelection();
    PluginProfile profile = view().profileManager().profiles().first();
    vm.setActiveProfile(profile);
    for (const char* filter : {"changes", "enabled", "disabled", "all"}) {
        vm.setProfileViewFilter(QString::fromLatin1(filter));
        settle();
        expectLegible(&view(), QStringLiteral("window-preview-") + QString::fromLatin1(filter));
    }
}

TEST_P(SurfaceContrastTest, EverySheet)
{
    ASSERT_TRUE(showAndWaitForStartup());
    seed(catalogue());
    PluginManagerViewModel& vm = view().pluginManager();
    view().profileManager().saveProfile(QStringLiteral("Mixing"), vm.plugins().mid(0, 40));
    view().profileManager().saveProfile(QStringLiteral("Tracking"), vm.plugins().mid(20, 40));

    // The new plug-ins sheet with a format switched off and a plug-in unticked.
    QList<AudioPlugin> arrived = vm.plugins().mid(0, 6);
    view().newPlugins().offer(arrived);
    view().newPlugins().openSheet();
    settle();
    ASSERT_NE(view().newPluginsSheet(), nullptr);
    view().newPlugins().toggleFormat(PluginFormat::clap);
    view().newPlugins().togglePlugin(arrived.first().id);
    settle();
    expectLegible(view().newPluginsSheet(), QStringLiteral("sheet-new-plugins"));
    view().newPlugins().skip();
    settle();

    main()->openExportSheet();
    settle();
    ASSERT_NE(main()->exportSheet(), nullptr);
    expectLegible(main()->exportSheet(), QStringLiteral("sheet-export"));
    main()->exportSheet()->reject();
    settle();

    // The clean-up sheet on each of its pages.
    QList<UADPluginAuth> demos;
    for (const auto& [name, status, disabled] : {std::tuple{"Pultec EQ", UADAuthStatus::demo(12), false},
                                                 std::tuple{"1176 Classic", UADAuthStatus::expired(), false},
                                                 std::tuple{"Neve 1073", UADAuthStatus::demoNotStarted(), false},
                                                 std::tuple{"LA-2A", UADAuthStatus::expired(), true}}) {
        UADPluginAuth entry;
        entry.id = QUuid::createUuid();
        entry.name = QString::fromLatin1(name);
        entry.status = status;
        entry.isAlreadyDisabled = disabled;
        entry.isSelected = !disabled;
        demos.append(entry);
    }
    struct Page {
        const char* name;
        bool loading;
        bool complete;
        std::optional<QString> message;
        QList<UADPluginAuth> demos;
    };
    const QList<Page> pages{
        {"loading", true, false, std::nullopt, {}},
        {"list", false, false, std::nullopt, demos},
        {"error", false, false, QStringLiteral("UAD Meter & Control Panel is not installed."), {}},
        {"empty", false, false, std::nullopt, {}},
        {"complete", false, true, std::nullopt, {}},
    };
    uad().setShowCleanupSheet(true);
    settle();
    ASSERT_NE(view().uadCleanupSheet(), nullptr);
    for (const Page& page : pages) {
        UADCleanupManagerTestAccess::set(uad(), page.loading, page.complete, page.message, page.demos);
        settle();
        expectLegible(view().uadCleanupSheet(), QStringLiteral("sheet-uad-") + QString::fromLatin1(page.name));
    }
    uad().setShowCleanupSheet(false);
    settle();
}

TEST_P(SurfaceContrastTest, EveryOnboardingPage)
{
    for (const bool access : {false, true}) {
        m_doubles.diskAccess->setGranted(access);
        auto scheduler = std::make_shared<SteppedScheduler>();
        OnboardingView sheet(services(), nullptr, 0, OnboardingView::kPageCount, scheduler);
        sheet.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
        for (int page = 0; page < OnboardingView::kPageCount; ++page) {
            if (page > 0) {
                sheet.goForward();
                // Past the cross-fade, however long a loaded machine makes it take.
                const auto fading = [&sheet] {
                    const QList<QVariantAnimation*> animations =
                        sheet.findChildren<QVariantAnimation*>(Qt::FindDirectChildrenOnly);
                    return std::any_of(animations.begin(), animations.end(), [](const QVariantAnimation* a) {
                        return a->state() == QAbstractAnimation::Running;
                    });
                };
                RACKHAND_ASSERT_EVENTUALLY(!fading(), 5000);
                settle(50);
            }
            // Through each page's picture: its animation at several moments.
            for (const int at : {0, 1500, 3000}) {
                scheduler->advance(at == 0 ? 0 : 1500);
                settle(50);
                expectLegible(&sheet, QStringLiteral("onboarding-%1-%2-%3")
                                          .arg(page)
                                          .arg(access ? QStringLiteral("access") : QStringLiteral("no-access"))
                                          .arg(at));
            }
        }
        sheet.done(QDialog::Accepted);
    }
}

INSTANTIATE_TEST_SUITE_P(BothAppearances, SurfaceContrastTest, testing::Values(Appearance::light, Appearance::dark),
                         [](const testing::TestParamInfo<Appearance>& info) {
                             return info.param == Appearance::dark ? "Dark" : "Light";
                         });
