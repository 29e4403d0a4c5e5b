#include "Support/Eventually.h"
#include "shell/NewPluginsBanner.h"
#include "shell/NewPluginsOffer.h"
#include "shell/ShellFixture.h"
#include "shell/UpdateBanner.h"
#include "widgets/RevealSlot.h"
#include "widgets/SteppedMotion.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int kBannerMs = 300;

/// The window's banners over stepped motion; the update server reports a newer version.
class BannerMotionTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        server.body = R"({"latest_version": "2.5.0", "update_available": true})";
    }

    /// Shows the window and waits until the start-up check has brought the update banner.
    void showWindowWithUpdate()
    {
        ASSERT_TRUE(showAndWaitForStartup());
        QApplication::setActiveWindow(&view());
        RACKHAND_ASSERT_EVENTUALLY(checker.updateAvailable(), 5000);
        motion.advance(0);
    }
    static RevealSlot& slotOf(QWidget* banner) { return *qobject_cast<RevealSlot*>(banner->parentWidget()); }
    /// Where the main content area starts, below the banners.
    int contentTop() { return view().mainContent()->y(); }

    SteppedMotion motion;
};

} // namespace

TEST_F(BannerMotionTest, TheUpdateBannerMovesInFromTheTopFadingAndLeavesTheSameWay)
{
    showWindowWithUpdate();
    UpdateBanner* banner = view().updateBanner();
    RevealSlot& slot = slotOf(banner);
    // In the accessible tree and reachable from the first moment; on screen still above.
    EXPECT_TRUE(banner->isVisible());
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(banner->dismissButton())->state().invisible);
    EXPECT_TRUE(slot.isMoving());
    EXPECT_EQ(slot.height(), 0);
    EXPECT_EQ(slot.contentTop(), -banner->height());
    EXPECT_EQ(contentTop(), 0);

    motion.advance(kBannerMs / 2);
    const int full = banner->height();
    EXPECT_NEAR(slot.height(), full / 2, 1);
    EXPECT_NEAR(slot.contentTop(), -full / 2, 1); // its lower half is in
    EXPECT_NEAR(slot.contentOpacity(), 0.5, 0.01);
    EXPECT_EQ(contentTop(), slot.height()); // the content below gives way

    motion.advance(kBannerMs / 2);
    EXPECT_FALSE(slot.isMoving());
    EXPECT_EQ(slot.contentTop(), 0);
    EXPECT_EQ(slot.contentOpacity(), 1.0);
    EXPECT_EQ(contentTop(), full);

    auto* search = new QLineEdit(view().mainContent()); // somewhere for the focus to go (the stand-in has nothing)
    search->show();
    banner->dismissButton()->setFocus();
    QTest::keyClick(banner->dismissButton(), Qt::Key_Space);
    EXPECT_FALSE(checker.updateAvailable());
    EXPECT_FALSE(banner->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), search); // focus has left the band at once
    EXPECT_TRUE(slot.isDrawingPicture());
    motion.advance(kBannerMs / 2);
    EXPECT_NEAR(slot.height(), full / 2, 1);
    EXPECT_NEAR(slot.contentOpacity(), 0.5, 0.01);
    motion.advance(kBannerMs / 2);
    EXPECT_FALSE(slot.isVisible());
    EXPECT_EQ(contentTop(), 0);
}

TEST_F(BannerMotionTest, ABannerAskedBackMidWayTurnsFromWhereItIs)
{
    showWindowWithUpdate();
    UpdateBanner* banner = view().updateBanner();
    RevealSlot& slot = slotOf(banner);
    motion.advance(100);
    const int shown = slot.height();
    banner->dismiss();
    EXPECT_EQ(slot.height(), shown);
    motion.advance(50);
    EXPECT_LT(slot.height(), shown);
    checker.setUpdateAvailable(true); // a later check reports it again
    EXPECT_TRUE(banner->isVisible());
    motion.advance(50);
    EXPECT_EQ(slot.height(), shown);
    motion.advance(kBannerMs - 100);
    EXPECT_FALSE(slot.isMoving());
    EXPECT_EQ(slot.height(), banner->height());
}

TEST_F(BannerMotionTest, TheNewPluginsBannerSlidesAndFadesBelowTheUpdateBanner)
{
    showWindowWithUpdate();
    motion.advance(kBannerMs);
    NewPluginsBanner* banner = view().newPluginsBanner();
    RevealSlot& slot = slotOf(banner);
    const int below = view().updateBanner()->height();
    view().newPlugins().offer({record("Alpha", PluginFormat::vst3, QStringLiteral("/a.vst3"), true)});
    EXPECT_TRUE(banner->isVisible());
    EXPECT_TRUE(banner->addButton()->isVisible());
    motion.advance(kBannerMs / 2);
    EXPECT_EQ(slot.y(), below);
    EXPECT_NEAR(slot.contentTop(), -banner->height() / 2, 1);
    EXPECT_NEAR(slot.contentOpacity(), 0.5, 0.01);
    motion.advance(kBannerMs / 2);
    EXPECT_EQ(contentTop(), below + banner->height());

    view().newPlugins().dismissBanner();
    EXPECT_FALSE(banner->isVisible());
    motion.advance(kBannerMs / 2);
    EXPECT_NEAR(slot.contentOpacity(), 0.5, 0.01);
    motion.advance(kBannerMs / 2);
    EXPECT_EQ(contentTop(), below);
}

TEST_F(BannerMotionTest, WithWidgetAnimationsOffTheBannersComeAndGoAtOnce)
{
    QApplication::setEffectEnabled(Qt::UI_General, false);
    server.answer = false; // the start-up check stays out of the way
    ASSERT_TRUE(showAndWaitForStartup());
    checker.setUpdateAvailable(true);
    RevealSlot& slot = slotOf(view().updateBanner());
    EXPECT_FALSE(slot.isMoving());
    motion.advance(0);
    EXPECT_EQ(contentTop(), view().updateBanner()->height());
    view().updateBanner()->dismiss();
    EXPECT_TRUE(slot.isHidden());
    EXPECT_EQ(motion.moving(), 0);
}
