#include "sidebar/ActionsSection.h"
#include "sidebar/FormatFilterSection.h"
#include "sidebar/ManufacturerFilterSection.h"
#include "sidebar/ProfilesSection.h"
#include "sidebar/RecentActivitySection.h"
#include "sidebar/SidebarFixture.h"
#include "sidebar/StatisticsSection.h"
#include "widgets/GlassStyle.h"
#include "widgets/HoverScale.h"
#include "widgets/RevealSlot.h"
#include "widgets/SectionHeaderButton.h"
#include "widgets/SteppedMotion.h"

#include <QAccessible>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

class SidebarMotionTest : public SidebarTest {
protected:
    void SetUp() override
    {
        SidebarTest::SetUp();
        seed({plugin(QStringLiteral("Pro-Q"), PluginFormat::vst3, true, QStringLiteral("FabFilter")),
              plugin(QStringLiteral("Decapitator"), PluginFormat::au, true, QStringLiteral("Soundtoys")),
              plugin(QStringLiteral("Serum"), PluginFormat::vst3, false, QStringLiteral("Xfer Records"))});
    }
    void showSidebar(int height = 900)
    {
        sidebar().resize(300, height);
        sidebar().show();
        QApplication::setActiveWindow(&sidebar());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&sidebar()));
        motion.advance(0);
    }
    static bool screenReadersSee(QWidget* widget)
    {
        return !QAccessible::queryAccessibleInterface(widget)->state().invisible;
    }
    int topOf(QWidget* widget) { return widget->mapTo(&sidebar(), QPoint(0, 0)).y(); }

    SteppedMotion motion;
};

TEST_F(SidebarMotionTest, ASectionUnfoldsOverTheFoldTimeWithItsRowsReachableAtOnce)
{
    showSidebar();
    FormatFilterSection& formats = *sidebar().formatsSection();
    QWidget* makers = sidebar().manufacturersSection();
    RevealSlot* slot = formats.bodySlot();
    const int makersAt = topOf(makers);

    formats.header()->click();
    EXPECT_TRUE(formats.isExpanded());
    EXPECT_EQ(formats.header()->accessibleDescription(), QStringLiteral("expanded"));
    SidebarItemButton* vst3 = formats.row(PluginFormat::vst3);
    EXPECT_TRUE(vst3->isVisible());
    EXPECT_TRUE(screenReadersSee(vst3));
    vst3->setFocus();
    EXPECT_TRUE(vst3->hasFocus());
    EXPECT_EQ(slot->openness(), 0.0);
    EXPECT_EQ(topOf(makers), makersAt);

    motion.advance(FoldingSection::kFoldMs / 2);
    EXPECT_DOUBLE_EQ(slot->openness(), 0.5); // ease-in-out: half way at half time
    const int body = formats.bodySlot()->content()->height();
    EXPECT_NEAR(topOf(makers), makersAt + body / 2, 1); // what follows moves with it

    motion.advance(FoldingSection::kFoldMs / 2);
    EXPECT_FALSE(slot->isMoving());
    EXPECT_EQ(topOf(makers), makersAt + body);
}

TEST_F(SidebarMotionTest, ResetFoldsEverySectionAtOnceForTheKeyboardAndOverTimeOnScreen)
{
    showSidebar();
    ProfilesSection& profiles = *sidebar().profilesSection();
    FormatFilterSection& formats = *sidebar().formatsSection();
    profiles.header()->click();
    formats.header()->click();
    motion.advance(FoldingSection::kFoldMs);
    SidebarItemButton* vst3 = formats.row(PluginFormat::vst3);
    vst3->setFocus();
    ASSERT_TRUE(vst3->hasFocus());

    vm().resetView();
    const QList<FoldingSection*> sections{&profiles, &formats, sidebar().statisticsSection()};
    for (FoldingSection* section : sections) {
        SCOPED_TRACE(section->objectName().toStdString());
        EXPECT_FALSE(section->isExpanded());
        EXPECT_FALSE(section->bodySlot()->content()->isVisible());
        EXPECT_TRUE(section->bodySlot()->isDrawingPicture());
        EXPECT_TRUE(section->bodySlot()->isVisible());
    }
    EXPECT_FALSE(vst3->hasFocus()); // focus left the folded rows at once
    EXPECT_FALSE(screenReadersSee(vst3));

    motion.advance(FoldingSection::kFoldMs / 2);
    EXPECT_DOUBLE_EQ(formats.bodySlot()->openness(), 0.5);
    motion.advance(FoldingSection::kFoldMs / 2);
    for (FoldingSection* section : sections)
        EXPECT_FALSE(section->bodySlot()->isVisible()) << section->objectName().toStdString();
}

TEST_F(SidebarMotionTest, ClickingTheHeaderAgainMidFoldTurnsItBack)
{
    showSidebar();
    RecentActivitySection& recent = *sidebar().recentActivitySection();
    recent.header()->click();
    motion.advance(120);
    const qreal opened = recent.bodySlot()->openness();
    recent.header()->click();
    EXPECT_FALSE(recent.isExpanded());
    EXPECT_EQ(recent.bodySlot()->openness(), opened);
    EXPECT_TRUE(recent.bodySlot()->isDrawingPicture()); // the log view itself is gone already
    motion.advance(60);
    EXPECT_LT(recent.bodySlot()->openness(), opened);
    recent.header()->click(); // and open again from there
    EXPECT_TRUE(recent.isExpanded());
    EXPECT_FALSE(recent.bodySlot()->isDrawingPicture());
    motion.advance(140);
    EXPECT_FALSE(recent.bodySlot()->isMoving());
    EXPECT_EQ(recent.bodySlot()->openness(), 1.0);
}

TEST_F(SidebarMotionTest, TheScrollToActionsEndsWhereActionsEndUpOnceUnfolded)
{
    // Short enough that Actions lies beyond the room to scroll until it has unfolded.
    showSidebar(560);
    sidebar().profilesSection()->header()->click();
    motion.advance(FoldingSection::kFoldMs);
    QScrollBar* bar = sidebar().scrollArea()->verticalScrollBar();
    sidebar().allPluginsRow()->click(); // opens Actions and scrolls to it 0.05 s later
    ASSERT_TRUE(sidebar().actionsSection()->isExpanded());
    QTest::qWait(SidebarView::kScrollDelayMs + 30);
    const int roomAtStart = bar->maximum();

    motion.advance(SidebarView::kScrollMs);
    const int actionsTop = sidebar().actionsBlock()->mapTo(sidebar().scrollArea()->widget(), QPoint(0, 0)).y();
    ASSERT_GT(actionsTop, roomAtStart) << "the case needs Actions out of reach at the start";
    EXPECT_GT(bar->maximum(), roomAtStart);
    EXPECT_EQ(bar->value(), std::min(actionsTop, bar->maximum()));
}

TEST_F(SidebarMotionTest, AllPluginsGrowsUnderThePointerWithoutMovingAnything)
{
    showSidebar();
    SidebarItemButton* row = sidebar().allPluginsRow();
    const QRect geometry = row->geometry();
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(row, &enter);
    motion.advance(SidebarView::kAllPluginsHoverMs / 2);
    EXPECT_DOUBLE_EQ(sidebar().allPluginsHover().scale(), 1.01);
    motion.advance(SidebarView::kAllPluginsHoverMs / 2);
    EXPECT_DOUBLE_EQ(sidebar().allPluginsHover().scale(), 1.02);
    EXPECT_EQ(row->geometry(), geometry);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(row, &leave);
    motion.advance(SidebarView::kAllPluginsHoverMs);
    EXPECT_EQ(sidebar().allPluginsHover().scale(), 1.0);
}

TEST_F(SidebarMotionTest, WithWidgetAnimationsOffEveryChangeIsInstant)
{
    showSidebar();
    QApplication::setEffectEnabled(Qt::UI_General, false);
    FormatFilterSection& formats = *sidebar().formatsSection();
    formats.header()->click();
    EXPECT_FALSE(formats.bodySlot()->isMoving());
    EXPECT_EQ(formats.bodySlot()->openness(), 1.0);
    vm().resetView();
    EXPECT_TRUE(formats.bodySlot()->isHidden());
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(sidebar().allPluginsRow(), &enter);
    EXPECT_EQ(sidebar().allPluginsHover().scale(), 1.02);

    sidebar().allPluginsRow()->click(); // the scroll to Actions jumps
    QTest::qWait(SidebarView::kScrollDelayMs + 30);
    EXPECT_EQ(motion.moving(), 0);
}
