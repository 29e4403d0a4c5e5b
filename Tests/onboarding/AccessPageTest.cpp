#include "onboarding/OnboardingFixture.h"
#include "onboarding/OnboardingPage5.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

class AccessPageTest : public OnboardingTest {
protected:
    OnboardingPage5* access_ = nullptr;
    OnboardingPage5& access() { return page<OnboardingPage5>(5); }

    /// The state the user sees: title, and whether the button and the hint are there.
    void expectGranted(bool granted)
    {
        OnboardingPage5& p = access();
        EXPECT_EQ(p.hasAccess(), granted);
        EXPECT_EQ(p.titleLabel()->text(), granted ? "You're All Set!" : "One Permission Needed");
        EXPECT_EQ(p.descriptionLabel()->text(),
                  granted
                      ? "Full Disk Access granted. Rackhand can now manage your plugins freely."
                      : "Rackhand needs Full Disk Access to enable, disable, and delete plugins in system folders.");
        EXPECT_EQ(p.settingsButton()->isHidden(), granted);
        EXPECT_EQ(p.hintLabel()->isHidden(), granted);
        EXPECT_EQ(p.settingsButton()->text(), "Open System Settings");
        EXPECT_EQ(p.hintLabel()->text(), "Privacy & Security → Full Disk Access → enable Rackhand");
    }
};

} // namespace

TEST_F(AccessPageTest, ShowsWhatTheProbeSaysWhenTheSheetOpens)
{
    for (bool granted : {false, true}) {
        SCOPED_TRACE(granted);
        probe->setGranted(granted);
        OnboardingView view(services, nullptr, 5, 6, scheduler);
        view.show();
        auto& p = *qobject_cast<OnboardingPage5*>(view.page(5));
        EXPECT_EQ(p.hasAccess(), granted);
        EXPECT_EQ(p.title(), granted ? "You're All Set!" : "One Permission Needed");
        EXPECT_EQ(p.settingsButton()->isVisible(), !granted);
        EXPECT_EQ(p.hintLabel()->isVisible(), !granted);
        view.reject();
    }
}

TEST_F(AccessPageTest, WithoutAProbeAccessCountsAsMissing)
{
    services.diskAccess.reset();
    openSheet();
    expectGranted(false);
}

TEST_F(AccessPageTest, RecheckFlipsBetweenTheStatesWithinOneInterval)
{
    openSheet();
    expectGranted(false);
    probe->setGranted(true);
    scheduler->advance(OnboardingPage5::kRecheckMs - 1);
    expectGranted(false);
    scheduler->advance(1);
    expectGranted(true);

    probe->setGranted(false); // revoked while the sheet is open
    scheduler->advance(OnboardingPage5::kRecheckMs);
    expectGranted(false);
    probe->setGranted(true);
    scheduler->advance(OnboardingPage5::kRecheckMs);
    expectGranted(true);
}

// The settings button goes with the grant; the keyboard it had goes on to "Get Started" (the
// next control in the chain would be "Back").
TEST_F(AccessPageTest, AGrantHandsTheKeyboardToGetStarted)
{
    OnboardingView view(services, nullptr, 5, 6, scheduler);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    access_ = qobject_cast<OnboardingPage5*>(view.page(5));
    access_->settingsButton()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(access_->settingsButton()->hasFocus());
    probe->setGranted(true);
    scheduler->advance(OnboardingPage5::kRecheckMs);
    ASSERT_TRUE(access_->hasAccess());
    EXPECT_TRUE(view.nextButton()->hasFocus())
        << "the keyboard is on "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->accessibleName().toStdString()
                                        : std::string("nothing"));
    EXPECT_EQ(view.nextButton()->text(), QStringLiteral("Get Started"));
    EXPECT_EQ(view.nextButton()->accessibleDescription(), QStringLiteral("Page 6 of 6: You're All Set!"));
    view.reject();
}

TEST_F(AccessPageTest, RecheckRunsOnTheRealTimerToo)
{
    OnboardingView view(services, nullptr, 5, 6); // main-loop timers
    view.show();
    auto& p = *qobject_cast<OnboardingPage5*>(view.page(5));
    ASSERT_FALSE(p.hasAccess());
    probe->setGranted(true);
    EXPECT_TRUE(QTest::qWaitFor([&p] { return p.hasAccess(); }, 3000));
    EXPECT_EQ(p.titleLabel()->text(), "You're All Set!");
    view.reject();
}

TEST_F(AccessPageTest, ClosingTheSheetStopsTheRecheck)
{
    openSheet();
    EXPECT_TRUE(access().isRechecking());
    scheduler->advance(4000);
    const int checksWhileOpen = probe->checks();
    EXPECT_GE(checksWhileOpen, 3); // construction, opening, and every 2 s
    sheet().reject();
    EXPECT_FALSE(access().isRechecking());
    probe->setGranted(true);
    scheduler->advance(20000);
    EXPECT_EQ(probe->checks(), checksWhileOpen);
    EXPECT_FALSE(access().hasAccess());
    EXPECT_EQ(scheduler->pending(), 0);
}

TEST_F(AccessPageTest, SettingsButtonAsksTheDesktopToOpenThePrivacyAddress)
{
    sheet(5);
    openSheet();
    EXPECT_EQ(OnboardingPage5::settingsUrl().toString(),
              "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");
    QTest::mouseClick(access().settingsButton(), Qt::LeftButton);
    ASSERT_EQ(workspace->opened().size(), 1);
    EXPECT_EQ(workspace->opened().first(), OnboardingPage5::settingsUrl());

    // Nothing on this desktop handles it: the page stays as it was.
    workspace->setAnswer(false);
    QTest::mouseClick(access().settingsButton(), Qt::LeftButton);
    EXPECT_EQ(workspace->opened().size(), 2);
    expectGranted(false);
    EXPECT_TRUE(sheet().isVisible());
}
