#include "pluginlist/BulkActionsView.h"

#include "Support/ScreenReaderSession.h"
#include "pluginlist/BulkListModel.h"
#include "pluginlist/BulkPluginRow.h"
#include "pluginlist/PluginListFixture.h"
#include "widgets/Motion.h"
#include "widgets/SteppedMotion.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QLabel>
#include <QListView>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolTip>

class BulkActionsViewTest : public PluginListTest {
protected:
    BulkActionsView& panel()
    {
        if (!m_panel) {
            m_panel = std::make_unique<BulkActionsView>(vm());
            m_panel->resize(900, 500);
            m_panel->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(m_panel.get()));
        }
        return *m_panel;
    }
    void TearDown() override
    {
        m_panel.reset();
        PluginListTest::TearDown();
    }
    void collect(const QList<AudioPlugin>& plugins)
    {
        QSet<QUuid> ids;
        for (const AudioPlugin& p : plugins)
            ids.insert(p.id);
        vm().syncSelectionDelta(ids, {});
    }
    QRect rowRect(int row) { return panel().list()->visualRect(panel().listModel()->index(row)); }

    std::unique_ptr<BulkActionsView> m_panel;
};

/// The panel over stepped motion.
class BulkRowFlashTest : public BulkActionsViewTest {
protected:
    SteppedMotion motion;
};

TEST_F(BulkRowFlashTest, ANewRowLightsUpSpringsLargerAndFadesOnce)
{
    const AudioPlugin comp = plugin(QStringLiteral("Comp"), PluginFormat::vst3);
    const AudioPlugin eq = plugin(QStringLiteral("EQ"), PluginFormat::vst3);
    seed({comp, eq});
    panel();
    collect({comp});
    const BulkListModel& model = *panel().listModel();
    const QString name = comp.name;
    EXPECT_EQ(model.flashLevel(name), BulkListModel::kFlashLevel); // lit at once
    EXPECT_EQ(model.flashScale(name), 1.0);                        // and springing from full size

    const Motion::Spring spring{0.25, 0.6};
    const qreal grown = BulkListModel::kFlashScale - 1.0;
    motion.advance(160); // near the spring's first peak
    EXPECT_NEAR(model.flashScale(name), 1.0 + grown * (1 - spring.displacementAt(0.16, 1, 0)), 1e-4);
    EXPECT_GT(model.flashScale(name), BulkListModel::kFlashScale); // a spring's overshoot
    EXPECT_EQ(model.flashLevel(name), BulkListModel::kFlashLevel); // still held
    (void)panel().list()->viewport()->grab();                      // drawn grown

    motion.advance(BulkListModel::kFlashHoldMs - 160 + BulkListModel::kFlashFadeMs / 2);
    EXPECT_NEAR(model.flashLevel(name), BulkListModel::kFlashLevel * (1 - Motion::easeOut().valueForProgress(0.5)),
                0.005);
    EXPECT_LT(model.flashScale(name), 1.0 + grown / 10); // sprung back with the fade
    EXPECT_TRUE(model.isAnyRowFlashing());

    motion.advance(BulkListModel::kFlashFadeMs / 2);
    EXPECT_EQ(model.flashLevel(name), 0);
    EXPECT_EQ(model.flashScale(name), 1.0);
    EXPECT_FALSE(model.isAnyRowFlashing());

    // Only a name new to the list flashes.
    collect({eq});
    EXPECT_EQ(model.flashLevel(name), 0);
    EXPECT_EQ(model.flashLevel(eq.name), BulkListModel::kFlashLevel);
}

TEST_F(BulkRowFlashTest, WithoutMotionTheRowKeepsItsSizeAndItsFillGoesOutAfterTheHold)
{
    QApplication::setEffectEnabled(Qt::UI_General, false);
    const AudioPlugin comp = plugin(QStringLiteral("Comp"), PluginFormat::vst3);
    seed({comp});
    panel();
    collect({comp});
    const BulkListModel& model = *panel().listModel();
    EXPECT_EQ(model.flashLevel(comp.name), BulkListModel::kFlashLevel);
    motion.advance(BulkListModel::kFlashHoldMs - 1);
    EXPECT_EQ(model.flashLevel(comp.name), BulkListModel::kFlashLevel);
    EXPECT_EQ(model.flashScale(comp.name), 1.0);
    motion.advance(2);
    EXPECT_EQ(model.flashLevel(comp.name), 0);
    EXPECT_FALSE(model.isAnyRowFlashing());
}

TEST_F(BulkActionsViewTest, GroupsTheSelectionByNameWithFormatBadgesAndChips)
{
    const QList<AudioPlugin> plugins{plugin(QStringLiteral("Comp"), PluginFormat::vst3),
                                     plugin(QStringLiteral("Comp"), PluginFormat::au),
                                     plugin(QStringLiteral("EQ"), PluginFormat::vst3, false)};
    seed(plugins);
    panel();
    QAbstractItemModelTester tester(panel().listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    collect(plugins);

    EXPECT_EQ(panel().countLabel()->text(), QStringLiteral("3 plugin(s)"));
    EXPECT_EQ(panel().uniqueLabel()->text(), QStringLiteral("(2 unique)"));
    ASSERT_EQ(panel().listModel()->rowCount(), 2);
    const ConsolidatedPlugin* comp = panel().listModel()->entry(0);
    EXPECT_EQ(comp->name, QStringLiteral("Comp"));
    ASSERT_EQ(comp->variants.size(), 2);
    EXPECT_EQ(comp->variants.at(0).badgeLabel(), QStringLiteral("Audio Units"));
    EXPECT_EQ(comp->variants.at(1).badgeLabel(), QStringLiteral("VST3"));
    EXPECT_TRUE(panel().listModel()->isAnyRowFlashing());
    EXPECT_GT(panel().listModel()->flashLevel(QStringLiteral("Comp")), 0.4);
    EXPECT_TRUE(panel().enableButton()->isEnabled());

    // Chips: VST3 fully active; a badge click makes it partial, a chip click full again.
    QAbstractButton* vst3 = panel().formatChip(PluginFormat::vst3);
    ASSERT_NE(vst3, nullptr);
    ASSERT_NE(panel().formatChip(PluginFormat::au), nullptr);
    EXPECT_EQ(panel().formatChip(PluginFormat::clap), nullptr);
    const QRect badge = BulkPluginRow::badgeRects(rowRect(0).adjusted(0, 1, 0, -1), comp->variants).at(1);
    const QUuid compVst3 = comp->variants.at(1).id;
    QTest::mouseClick(panel().list()->viewport(), Qt::LeftButton, {}, badge.center());
    EXPECT_FALSE(vm().bulkActiveVariants().contains(compVst3));
    EXPECT_TRUE(vm().isFormatPartiallyActive(PluginFormat::vst3));
    EXPECT_TRUE(panel().listModel()->markedNames().isEmpty()); // the badge does not mark the row
    EXPECT_EQ(panel().listModel()->index(0).data(Qt::AccessibleDescriptionRole).toString(),
              QStringLiteral("Audio Units (active), VST3 (inactive)"));
    EXPECT_EQ(vst3->accessibleDescription(), QStringLiteral("partly active"));
    QTest::mouseClick(vst3, Qt::LeftButton);
    EXPECT_TRUE(vm().isFormatFullyActive(PluginFormat::vst3));
    QTest::mouseClick(vst3, Qt::LeftButton);
    EXPECT_EQ(vst3->accessibleDescription(), QStringLiteral("inactive"));
    EXPECT_EQ(vm().bulkActionPlugins().size(), 1); // only Comp (Audio Units) still takes part
}

TEST_F(BulkActionsViewTest, TenActAtOnceElevenAskFirst)
{
    for (int count : {10, 11}) {
        SCOPED_TRACE(count);
        m_panel.reset();
        m_runner->clear();
        const QList<AudioPlugin> disabled = numbered(count, PluginFormat::vst3, false);
        QList<AudioPlugin> all = disabled;
        all.append(plugin(QStringLiteral("Already On")));
        seed(all);
        vm().clearSelection();
        collect(all);
        QSignalSpy requests(&panel(), &BulkActionsView::bulkConfirmationRequested);
        QTest::mouseClick(panel().enableButton(), Qt::LeftButton);
        settle();
        if (count <= BulkActionsView::kImmediateLimit) {
            EXPECT_EQ(requests.count(), 0);
            EXPECT_EQ(m_runner->commands().size(), 1); // one batch script
        } else {
            ASSERT_EQ(requests.count(), 1);
            EXPECT_EQ(requests.first().at(0).value<BulkAction>(), BulkAction::enable);
            // Only the plug-ins that change.
            EXPECT_EQ(requests.first().at(1).value<QList<AudioPlugin>>().size(), count);
            EXPECT_TRUE(m_runner->commands().isEmpty());
        }
    }
}

TEST_F(BulkActionsViewTest, DeleteAlwaysAsksAndNothingToDoStartsNothing)
{
    const AudioPlugin on = plugin(QStringLiteral("Solo"));
    seed({on});
    collect({on});
    QSignalSpy requests(&panel(), &BulkActionsView::bulkConfirmationRequested);

    QTest::mouseClick(panel().enableButton(), Qt::LeftButton); // already enabled: nothing to do
    settle();
    EXPECT_EQ(requests.count(), 0);
    EXPECT_TRUE(m_runner->commands().isEmpty());

    QTest::mouseClick(panel().deleteButton(), Qt::LeftButton);
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests.first().at(0).value<BulkAction>(), BulkAction::delete_);
    EXPECT_EQ(requests.first().at(1).value<QList<AudioPlugin>>().first().id, on.id);

    // With every variant switched off there is nothing to delete: no dialog.
    vm().toggleBulkVariant(on.id);
    QTest::mouseClick(panel().deleteButton(), Qt::LeftButton);
    EXPECT_EQ(requests.count(), 1);

    vm().clearSelection();
    EXPECT_FALSE(panel().enableButton()->isEnabled());
    EXPECT_FALSE(panel().disableButton()->isEnabled());
    EXPECT_FALSE(panel().deleteButton()->isEnabled());
}

TEST_F(BulkActionsViewTest, ActionsAreDisabledWhileAnOperationRuns)
{
    const QList<AudioPlugin> plugins{plugin(QStringLiteral("A")), plugin(QStringLiteral("B"))};
    seed(plugins);
    collect(plugins);
    panel();
    bool enabledDuringRun = true;
    m_runner->setOnRun([&](const QString&) { enabledDuringRun = panel().disableButton()->isEnabled(); });
    QTest::mouseClick(panel().disableButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(m_runner->commands().size(), 1);
    EXPECT_FALSE(enabledDuringRun);
    EXPECT_TRUE(panel().disableButton()->isEnabled());
}

TEST_F(BulkActionsViewTest, MarkedRowsAreRemovedFromTheList)
{
    const QList<AudioPlugin> plugins{plugin(QStringLiteral("Alpha"), PluginFormat::vst3),
                                     plugin(QStringLiteral("Alpha"), PluginFormat::au), plugin(QStringLiteral("Beta"))};
    seed(plugins);
    collect(plugins);
    EXPECT_FALSE(panel().removeMarkedButton()->isVisibleTo(&panel()));
    QTest::mouseClick(panel().list()->viewport(), Qt::LeftButton, {}, rowRect(0).topLeft() + QPoint(20, 8));
    EXPECT_TRUE(panel().listModel()->isMarked(QStringLiteral("Alpha")));
    ASSERT_TRUE(panel().removeMarkedButton()->isVisibleTo(&panel()));
    EXPECT_EQ(panel().removeMarkedButton()->text(), QStringLiteral("Remove 1 from list"));
    QTest::mouseClick(panel().removeMarkedButton(), Qt::LeftButton);
    EXPECT_EQ(vm().persistedSelections(), QSet<QUuid>{plugins.at(2).id});
    EXPECT_FALSE(panel().removeMarkedButton()->isVisibleTo(&panel()));
    EXPECT_EQ(panel().countLabel()->text(), QStringLiteral("1 plugin(s)"));

    QTest::mouseClick(panel().clearAllButton(), Qt::LeftButton);
    EXPECT_TRUE(vm().persistedSelections().isEmpty());
    EXPECT_EQ(panel().listModel()->rowCount(), 0);
}

TEST_F(BulkActionsViewTest, WavesNotices)
{
    AudioPlugin shell = plugin(QStringLiteral("WaveShell1-VST3 14.0"), PluginFormat::vst3);
    AudioPlugin bundle = plugin(QStringLiteral("CLA-2A"), PluginFormat::wavesBundle);
    AudioPlugin spaced = plugin(QStringLiteral("Wave Shell Thing"), PluginFormat::vst3);
    seed({shell, bundle, spaced});

    collect({spaced});
    EXPECT_FALSE(panel().waveShellWarning()->isVisibleTo(&panel()));
    EXPECT_FALSE(panel().wavesNotice()->isVisibleTo(&panel()));

    collect({bundle});
    EXPECT_TRUE(panel().wavesNotice()->isVisibleTo(&panel()));
    vm().toggleBulkVariant(bundle.id); // an inactive variant is not disabled
    EXPECT_FALSE(panel().wavesNotice()->isVisibleTo(&panel()));

    collect({shell});
    ASSERT_TRUE(panel().waveShellWarning()->isVisibleTo(&panel()));
    auto* warning = panel().waveShellWarning()->findChild<QWidget*>(QStringLiteral("waveShellWarning"));
    ASSERT_NE(warning, nullptr);
    QTest::mouseClick(warning, Qt::LeftButton, {}, warning->rect().center());
    EXPECT_FALSE(vm().persistedSelections().contains(shell.id));
    EXPECT_TRUE(vm().persistedSelections().contains(bundle.id));
    EXPECT_FALSE(panel().waveShellWarning()->isVisibleTo(&panel()));
}

TEST_F(BulkActionsViewTest, ListHeightFollowsThePaneHeightUnlessExpanded)
{
    panel().setPaneHeight(140);
    EXPECT_EQ(panel().list()->maximumHeight(), 140);
    panel().setExpandFull(true);
    EXPECT_EQ(panel().list()->maximumHeight(), QWIDGETSIZE_MAX);
}

TEST_F(BulkActionsViewTest, AutoScrollFollowsGrowingCountsOnly)
{
    QList<AudioPlugin> plugins;
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        plugins.append(plugin(QString::fromLatin1(name)));
    seed(plugins);
    collect(plugins.mid(0, 5));
    panel().setPaneHeight(40);
    settle();
    auto running = [this] {
        QList<QPropertyAnimation*> list;
        for (auto* animation : panel().list()->verticalScrollBar()->findChildren<QPropertyAnimation*>()) {
            if (animation->state() == QAbstractAnimation::Running)
                list.append(animation);
        }
        return list;
    };
    auto scrollStarted = [&running] {
        settle();
        return !running().isEmpty();
    };
    auto finishScroll = [&running] {
        for (auto* animation : running())
            animation->setCurrentTime(animation->duration());
        settle();
    };
    EXPECT_EQ(panel().previousBulkCount(), 0); // the count at appearance is not recorded

    // The first change scrolls even though the list shrank (0 < 4).
    vm().deselectPluginsByName(QStringLiteral("E"));
    EXPECT_EQ(panel().previousBulkCount(), 4);
    EXPECT_TRUE(scrollStarted());
    finishScroll();

    // A falling count only records itself; a rising one scrolls to the new last entry.
    vm().deselectPluginsByName(QStringLiteral("D"));
    EXPECT_EQ(panel().previousBulkCount(), 3);
    EXPECT_FALSE(scrollStarted());
    collect({plugins.at(5)});
    EXPECT_EQ(panel().previousBulkCount(), 4);
    EXPECT_TRUE(scrollStarted());
    finishScroll();
    QScrollBar* bar = panel().list()->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(BulkActionsViewTest, AutoScrollEndsOnWholeRows)
{
    QList<AudioPlugin> plugins;
    for (int i = 0; i < 12; ++i)
        plugins.append(plugin(QStringLiteral("Plug %1").arg(i, 2, 10, QLatin1Char('0'))));
    seed(plugins);
    collect(plugins.mid(0, 3));
    settle();
    QListView* list = panel().list();
    const int pitch = rowRect(1).top() - rowRect(0).top();
    ASSERT_GT(pitch, 0);
    for (int extra : {pitch / 2, pitch / 3, 1}) { // list heights between whole rows
        SCOPED_TRACE(extra);
        panel().setPaneHeight(3 * pitch + extra);
        collect({plugins.at(panel().listModel()->rowCount())});
        settle();
        for (auto* animation : list->verticalScrollBar()->findChildren<QPropertyAnimation*>())
            animation->setCurrentTime(animation->duration());
        settle();
        const int rows = panel().listModel()->rowCount();
        const QRect viewport = list->viewport()->rect();
        // The newest row is whole at the end, and the top row is whole too.
        EXPECT_TRUE(viewport.contains(rowRect(rows - 1)))
            << rowRect(rows - 1).top() << "..." << rowRect(rows - 1).bottom();
        for (int row = 0; row < rows; ++row) {
            const QRect rect = rowRect(row);
            if (rect.bottom() < viewport.top() || rect.top() > viewport.bottom())
                continue;
            EXPECT_TRUE(viewport.contains(rect)) << "row " << row << " at " << rect.top() << "..." << rect.bottom();
        }
    }
}

// Two bundles of one name and format (one in a system folder, one in the home folder) show
// the same badge twice: each badge names its bundle's place, to the pointer and to a reader.
TEST_F(BulkActionsViewTest, TwinBadgesAreToldApartByTheirBundlesPlaces)
{
    const AudioPlugin system = plugin(QStringLiteral("Twin"), PluginFormat::vst3);
    AudioPlugin own = record(QStringLiteral("Twin"), PluginFormat::vst3, true, QStringLiteral("Acme"));
    own.originalPath = own.currentPath = usr(QStringLiteral("/Library/Audio/Plug-Ins/VST3/Twin.vst3"));
    makeBundle(own.currentPath);
    seed({system, own});
    panel();
    collect({system, own});
    ASSERT_EQ(panel().listModel()->rowCount(), 1);
    const ConsolidatedPlugin* twin = panel().listModel()->entry(0);
    ASSERT_EQ(twin->variants.size(), 2);
    ASSERT_EQ(twin->variants.at(0).badgeLabel(), twin->variants.at(1).badgeLabel());

    QListView* list = panel().list();
    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(list)->tableInterface()->cellAt(0, 0);
    ASSERT_NE(row, nullptr);
    ASSERT_EQ(row->childCount(), 2);
    const QList<QRect> badges = BulkPluginRow::badgeRects(rowRect(0).adjusted(0, 1, 0, -1), twin->variants);
    QStringList places;
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QString place = row->child(i)->text(QAccessible::Description);
        places.append(place);
        EXPECT_EQ(row->child(i)->text(QAccessible::Name), QStringLiteral("VST3"));
        QHelpEvent hover(QEvent::ToolTip, badges.at(i).center(), list->viewport()->mapToGlobal(badges.at(i).center()));
        QCoreApplication::sendEvent(list->viewport(), &hover);
        EXPECT_EQ(QToolTip::text(), place);
        QToolTip::hideText();
    }
    places.sort();
    QStringList expected{system.currentPath, own.currentPath};
    expected.sort();
    EXPECT_EQ(places, expected);
}

// Moving onto a badge is heard as a move of focus to it, and switching a badge or marking a row
// as the state change of what was switched (inside a screen-reader session).
TEST_F(BulkActionsViewTest, ScreenReaderHearsTheBadges)
{
    RACKHAND_REQUIRE_SCREEN_READER();
    const QList<AudioPlugin> plugins{plugin(QStringLiteral("Comp"), PluginFormat::vst3),
                                     plugin(QStringLiteral("Comp"), PluginFormat::au)};
    seed(plugins);
    panel().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel()));
    collect(plugins);
    QListView* list = panel().list();
    list->setFocus();
    list->setCurrentIndex(panel().listModel()->index(0));
    AccessibleEventLog log;

    QTest::keyClick(list, Qt::Key_Right);
    QList<AccessibleEventLog::Heard> focus = log.of(QAccessible::Focus);
    ASSERT_EQ(focus.size(), 1);
    EXPECT_EQ(focus.first().role, QAccessible::CheckBox);
    EXPECT_EQ(focus.first().name, QStringLiteral("Audio Units"));
    EXPECT_TRUE(focus.first().state.focused);
    QAccessibleInterface* badge = focus.first().object;

    log.clear();
    QTest::keyClick(list, Qt::Key_Space);
    QList<AccessibleEventLog::Heard> changes = log.of(QAccessible::StateChanged);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.first().object, badge);
    EXPECT_TRUE(changes.first().changed.checked);
    EXPECT_FALSE(changes.first().state.checked);

    log.clear();
    QTest::keyClick(list, Qt::Key_Right);
    focus = log.of(QAccessible::Focus);
    ASSERT_EQ(focus.size(), 1);
    EXPECT_EQ(focus.first().name, QStringLiteral("VST3"));
    log.clear();
    QTest::keyClick(list, Qt::Key_Left);
    QTest::keyClick(list, Qt::Key_Left);
    focus = log.of(QAccessible::Focus);
    ASSERT_EQ(focus.size(), 2);
    EXPECT_EQ(focus.last().role, QAccessible::ListItem);
    EXPECT_EQ(focus.last().name, QStringLiteral("Comp"));
    QAccessibleInterface* row = focus.last().object;

    // Space on the row marks its name: a tick of the row, heard on the row.
    log.clear();
    QTest::keyClick(list, Qt::Key_Space);
    changes = log.of(QAccessible::StateChanged);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.first().object, row);
    EXPECT_TRUE(changes.first().state.checked);
    EXPECT_TRUE(log.unresolved.isEmpty()) << log.unresolved.join(u'\n').toStdString();
}
