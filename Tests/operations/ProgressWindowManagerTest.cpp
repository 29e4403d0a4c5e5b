#include "operations/ProgressWindowManager.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Each test starts from a manager of its own, with no panel yet.
class ProgressWindowManagerTest : public ::testing::Test {
protected:
    ProgressWindowManager m_manager;
};

TEST_F(ProgressWindowManagerTest, ShowStartsARunWithAFreshModel)
{
    ProgressWindowManager& manager = m_manager;
    ProgressHUDModel* before = manager.hudModel();
    before->setProgress(0.7);
    QSignalSpy models(&manager, &ProgressWindowManager::hudModelChanged);
    QSignalSpy shown(&manager, &ProgressWindowManager::panelShown);

    manager.show(QStringLiteral("Disabling 60 plugins…"), 60);

    ASSERT_EQ(models.count(), 1);
    EXPECT_EQ(shown.count(), 1);
    ProgressHUDModel* model = manager.hudModel();
    EXPECT_NE(model, before);
    EXPECT_EQ(models.first().first().value<ProgressHUDModel*>(), model);
    EXPECT_EQ(model->label(), QStringLiteral("Disabling 60 plugins…"));
    EXPECT_EQ(model->count(), 60);
    EXPECT_EQ(model->progress(), 0.0);
    EXPECT_TRUE(manager.isPanelVisible());
    EXPECT_TRUE(manager.hasPanel());
}

TEST_F(ProgressWindowManagerTest, HideFillsTheBarAndClosesAfterTheDelay)
{
    ProgressWindowManager& manager = m_manager;
    manager.show(QStringLiteral("x"), 2);
    QSignalSpy closed(&manager, &ProgressWindowManager::panelClosed);
    QElapsedTimer clock;
    clock.start();
    manager.hide();
    EXPECT_EQ(manager.hudModel()->progress(), 1.0);
    EXPECT_TRUE(manager.isPanelVisible());
    EXPECT_TRUE(manager.isClosePending());
    ASSERT_TRUE(closed.wait(2000));
    EXPECT_GE(clock.elapsed(), ProgressWindowManager::kCloseDelayMs - 10);
    EXPECT_FALSE(manager.isPanelVisible());
    EXPECT_TRUE(manager.hasPanel()); // kept for the next run
}

TEST_F(ProgressWindowManagerTest, ShowWithinTheClosingDelayKeepsThePanelOpen)
{
    ProgressWindowManager& manager = m_manager;
    manager.show(QStringLiteral("first"), 60);
    manager.hide();
    QTest::qWait(200);
    QSignalSpy closed(&manager, &ProgressWindowManager::panelClosed);
    manager.show(QStringLiteral("second"), 70);
    QTest::qWait(ProgressWindowManager::kCloseDelayMs + 200);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(manager.isPanelVisible());
    EXPECT_EQ(manager.hudModel()->label(), QStringLiteral("second"));
    EXPECT_EQ(manager.hudModel()->progress(), 0.0);

    manager.hide();
    EXPECT_TRUE(closed.wait(2000));
}

} // namespace
