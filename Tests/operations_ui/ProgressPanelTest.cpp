#include "operations/ui/ProgressPanel.h"

#include "operations/ProgressWindowManager.h"
#include "operations/ui/ProgressHUDView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>
#include <memory>

namespace {

// The panel widget as the user sees it, driven through its manager. Each test builds its
// own manager and panel, closed.
class ProgressPanelTest : public ::testing::Test {
protected:
    void SetUp() override { m_panel = std::make_unique<ProgressPanel>(m_manager); }
    void TearDown() override { m_panel.reset(); }

    ProgressWindowManager& manager() { return m_manager; }
    ProgressPanel& panel() { return *m_panel; }

private:
    ProgressWindowManager m_manager;
    std::unique_ptr<ProgressPanel> m_panel;
};

TEST_F(ProgressPanelTest, CountLineOnlyFromTwoPlugins)
{
    struct Row {
        int count;
        QString line; // at progress 0.5
    };
    const Row rows[] = {{0, QString()}, {1, QString()}, {2, "1 of 2 plugins"}, {60, "30 of 60 plugins"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.count);
        manager().show(QStringLiteral("Disabling plugins…"), row.count);
        ASSERT_EQ(panel().hudView()->model(), manager().hudModel());
        EXPECT_TRUE(panel().isVisible());
        manager().hudModel()->setProgress(0.5);
        EXPECT_EQ(panel().hudView()->countLine(), row.line);
        EXPECT_EQ(ProgressHUDView::percentText(0.5), QStringLiteral("50%")); // the percentage row stays
    }
    EXPECT_EQ(ProgressHUDView::countText(0.999, 14), QStringLiteral("13 of 14 plugins"));
}

TEST_F(ProgressPanelTest, FillHasATenPointMinimum)
{
    manager().show(QStringLiteral("x"), 60);
    ProgressHUDView* view = panel().hudView();
    EXPECT_DOUBLE_EQ(view->shownFillWidth(), 10.0); // progress 0
    struct Row {
        double progress;
        double width;
        const char* percent;
    };
    const Row rows[] = {{0.004, 10.0, "0%"}, {0.5, 160.0, "50%"}, {1.0, 320.0, "100%"}, {0.02, 10.0, "2%"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.progress);
        manager().hudModel()->setProgress(row.progress);
        // The width eases over 0.25 s towards the new value (a large step jumps).
        EXPECT_TRUE(QTest::qWaitFor([&] { return qAbs(view->shownFillWidth() - row.width) < 0.01; }, 1000));
        EXPECT_EQ(ProgressHUDView::percentText(row.progress), QString::fromLatin1(row.percent));
    }
    EXPECT_DOUBLE_EQ(ProgressHUDView::fillWidth(0.004), 10.0);
    EXPECT_DOUBLE_EQ(ProgressHUDView::fillWidth(2.0), 320.0);
}

// Spins without handling events, as the main thread does while a batch runs.
void keepBusy(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {}
}

TEST_F(ProgressPanelTest, FillFollowsTheModelWithinAnEase)
{
    manager().show(QStringLiteral("x"), 63);
    ProgressHUDView* view = panel().hudView();
    QTest::qWait(50);
    manager().hudModel()->setProgress(0.5);
    QTest::qWait(300);
    EXPECT_NEAR(view->shownFillWidth(), 160.0, 2.0);
}

// Updates come faster than an ease lasts: the fill keeps up instead of restarting its
// ease from where it was each time.
TEST_F(ProgressPanelTest, FillKeepsUpWithRapidUpdates)
{
    manager().show(QStringLiteral("x"), 100);
    ProgressHUDView* view = panel().hudView();
    QTest::qWait(50);
    for (int done = 1; done <= 50; ++done) {
        SCOPED_TRACE(done);
        const double progress = done / 100.0;
        manager().hudModel()->setProgress(progress);
        keepBusy(3);
        EXPECT_GE(view->shownFillWidth(), ProgressHUDView::fillWidth(progress) - 0.15 * 320.0 - 0.5);
    }
    QTest::qWait(300);
    EXPECT_NEAR(view->shownFillWidth(), ProgressHUDView::fillWidth(0.5), 0.5);
}

// A main thread too busy to paint paints right after each update: those frames show
// the new value, not the start of an ease. The closing 100 % is shown full at once.
TEST_F(ProgressPanelTest, FillShowsTheNumbersWhenThePanelIsStarved)
{
    manager().show(QStringLiteral("x"), 63);
    ProgressHUDView* view = panel().hudView();
    manager().hudModel()->setProgress(0.3);
    QTest::qWait(300);
    keepBusy(300);
    manager().hudModel()->setProgress(0.35);
    EXPECT_NEAR(view->shownFillWidth(), ProgressHUDView::fillWidth(0.35), 0.5);
    QTest::qWait(50);
    manager().hide();
    EXPECT_DOUBLE_EQ(view->shownFillWidth(), 320.0);
}

// Without a window manager nothing is active: the panel still opens over the main window.
TEST_F(ProgressPanelTest, CentredOverTheMainWindowWhenNoWindowIsActive)
{
    QMainWindow window;
    QWidget other;
    window.setGeometry(100, 50, 900, 600);
    other.setGeometry(600, 500, 200, 100);
    window.show();
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    QApplication::setActiveWindow(nullptr); // the offscreen platform activates what it shows
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    manager().show(QStringLiteral("x"), 60);
    ASSERT_TRUE(panel().isVisible());
    EXPECT_EQ(panel().frameGeometry().center(), window.frameGeometry().center());
    EXPECT_EQ(panel().geometry().center(), QRect(100, 50, 900, 600).center());
}

TEST_F(ProgressPanelTest, FloatsWithoutTakingFocusOrClicks)
{
    const Qt::WindowFlags flags = panel().windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(flags & Qt::WindowTransparentForInput);
    EXPECT_FALSE(flags & Qt::NoDropShadowWindowHint);
    EXPECT_TRUE(panel().testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(panel().testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(panel().focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(panel().size(), QSize(400, 210));

    // Shown over an active window: centred on it. The window system gets the no-focus and
    // no-input flags (the offscreen platform itself activates whatever it shows, so
    // activation is not observable here).
    QWidget window;
    window.setGeometry(100, 80, 900, 600);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    manager().show(QStringLiteral("x"), 60);
    EXPECT_TRUE(panel().isVisible());
    ASSERT_TRUE(panel().windowHandle());
    EXPECT_TRUE(panel().windowHandle()->flags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(panel().windowHandle()->flags() & Qt::WindowTransparentForInput);
    EXPECT_LE((panel().geometry().center() - window.frameGeometry().center()).manhattanLength(), 2);
}

TEST_F(ProgressPanelTest, HideClosesAfterTheDelay)
{
    manager().show(QStringLiteral("x"), 60);
    ASSERT_TRUE(panel().isVisible());
    QElapsedTimer clock;
    clock.start();
    manager().hide();
    EXPECT_DOUBLE_EQ(manager().hudModel()->progress(), 1.0);
    QTest::qWait(300);
    EXPECT_TRUE(panel().isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel().isVisible(); }, 2000));
    EXPECT_GE(clock.elapsed(), ProgressWindowManager::kCloseDelayMs - 10);
    EXPECT_LT(clock.elapsed(), ProgressWindowManager::kCloseDelayMs + 500);
}

TEST_F(ProgressPanelTest, ShowingAgainWithinTheDelayKeepsThePanelOpen)
{
    manager().show(QStringLiteral("first"), 60);
    manager().hide();
    QTest::qWait(200);
    manager().show(QStringLiteral("second"), 70);
    QTest::qWait(ProgressWindowManager::kCloseDelayMs + 200);
    EXPECT_TRUE(panel().isVisible());
    EXPECT_EQ(panel().hudView()->model()->label(), QStringLiteral("second"));
    EXPECT_EQ(panel().hudView()->countLine(), QStringLiteral("0 of 70 plugins"));

    manager().hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel().isVisible(); }, 2000));
}

} // namespace
