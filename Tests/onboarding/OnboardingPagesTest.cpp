#include "onboarding/OnboardingFixture.h"
#include "onboarding/OnboardingPage0.h"
#include "onboarding/OnboardingPage1.h"
#include "onboarding/OnboardingPage2.h"
#include "onboarding/OnboardingPage3.h"
#include "onboarding/OnboardingPage4.h"

#include <QTest>

#include <optional>

namespace {

using OnboardingPagesTest = OnboardingTest;

QList<bool> states(bool a, bool b, bool c)
{
    return {a, b, c};
}

} // namespace

// --- Welcome ---

TEST(WelcomeBars, HeightsFormAnArchAtRestAndTwoAndAHalfHumpsRaised)
{
    struct Row {
        int bar;
        double resting;
        double raised;
    };
    const Row rows[] = {
        {0, 6.0, 70.49},
        {5, 21.32, 22.40},
        {9, 26.0, 78.62},
        {17, 9.47, 70.72},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bar);
        EXPECT_NEAR(OnboardingPage0::barHeight(row.bar, 18, false), row.resting, 0.01);
        EXPECT_NEAR(OnboardingPage0::barHeight(row.bar, 18, true), row.raised, 0.01);
    }
    for (int i = 0; i < 18; ++i) {
        EXPECT_GE(OnboardingPage0::barHeight(i, 18, true), 20.0) << i;
        EXPECT_LT(OnboardingPage0::barHeight(i, 18, true), 80.0) << i; // under the glow's height
        EXPECT_LE(OnboardingPage0::barHeight(i, 18, false), 26.0) << i;
    }
    EXPECT_EQ(OnboardingPage0::barHeight(3, 0, true), 0.0); // no bars, no division by zero
}

TEST(WelcomeBars, SwingsTakeFiveDurationsInTurnAndStartOneAfterAnother)
{
    const int swings[] = {700, 850, 1000, 1150, 1300, 700};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(OnboardingPage0::swingMs(i), swings[i]) << i;
    EXPECT_EQ(OnboardingPage0::swingMs(15), 700);
    EXPECT_EQ(OnboardingPage0::startDelayMs(15), 900);
}

TEST_F(OnboardingPagesTest, WelcomeWaveStartsWhenTheSheetOpensBarByBar)
{
    auto& welcome = page<OnboardingPage0>(0);
    EXPECT_FALSE(welcome.animate());
    EXPECT_EQ(welcome.currentBarHeight(9), 26.0);
    scheduler->advance(5000);
    EXPECT_FALSE(welcome.isBarSwinging(0)); // nothing moves before the sheet opens

    openSheet();
    EXPECT_TRUE(welcome.animate());
    scheduler->advance(300);
    for (int i = 0; i < OnboardingPage0::kBarCount; ++i)
        EXPECT_EQ(welcome.isBarSwinging(i), i <= 5) << i; // one bar every 60 ms
    scheduler->advance(720);
    for (int i = 0; i < OnboardingPage0::kBarCount; ++i)
        EXPECT_TRUE(welcome.isBarSwinging(i)) << i;
    // The glow breathes between its faint and its raised opacity.
    EXPECT_TRUE(QTest::qWaitFor([&] { return welcome.glowOpacity() > 0.07; }, 3000));
    EXPECT_LE(welcome.glowOpacity(), 0.12 + 1e-9);
}

// --- Enable & Disable ---

TEST_F(OnboardingPagesTest, ToggleCyclePointsFlipsAndRepeatsEverySixSeconds)
{
    auto& toggles = page<OnboardingPage1>(1);
    openSheet();
    struct Row {
        qint64 at;
        double arrow;
        std::optional<int> highlighted;
        QList<bool> states;
    };
    const Row rows[] = {
        {799, 0, std::nullopt, states(true, false, true)},
        {1150, 0, 1, states(true, false, true)}, // step 0 lights the middle row
        {1300, 0, 1, states(true, true, true)},  // and flips its switch
        {1900, 0, std::nullopt, states(true, true, true)},
        {2200, -44, std::nullopt, states(true, true, true)},
        {2700, -44, 0, states(false, true, true)}, // the top row
        {4100, 44, 2, states(false, true, false)}, // the bottom row
        {5999, 44, std::nullopt, states(false, true, false)},
        {7300, 0, 1, states(false, false, false)}, // the next cycle inverts them back, one by one
        {11999, 44, std::nullopt, states(true, false, true)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.at);
        scheduler->advanceTo(row.at);
        EXPECT_EQ(toggles.arrowOffset(), row.arrow);
        EXPECT_EQ(toggles.highlightedRow(), row.highlighted);
        EXPECT_EQ(toggles.toggleStates(), row.states);
    }
}

TEST_F(OnboardingPagesTest, ClosingBeforeTheFirstStepChangesNothingMore)
{
    auto& toggles = page<OnboardingPage1>(1);
    auto& profiles = page<OnboardingPage2>(2);
    auto& control = page<OnboardingPage4>(4);
    openSheet();
    scheduler->advance(400);
    sheet().reject();
    scheduler->advance(30000);
    EXPECT_EQ(toggles.toggleStates(), states(true, false, true));
    EXPECT_EQ(toggles.highlightedRow(), std::nullopt);
    EXPECT_EQ(profiles.activeProfile(), 0);
    EXPECT_EQ(profiles.spotlightOpacity(), 1.0); // the glow had faded in
    EXPECT_EQ(control.fileOffset(), -40);        // the pass never got to its slide
    EXPECT_EQ(scheduler->pending(), 0);          // and no cycle schedules another
}

// --- Profiles ---

TEST_F(OnboardingPagesTest, ProfileCycleSwitchesTheActiveCardAndBack)
{
    auto& profiles = page<OnboardingPage2>(2);
    ASSERT_EQ(profiles.profiles().size(), 2);
    EXPECT_EQ(profiles.profiles().at(0).name, "Mixing Session");
    EXPECT_EQ(profiles.profiles().at(1).name, "Mastering");
    EXPECT_EQ(profiles.profiles().at(1).plugins, (QStringList{"Limiter 6", "Mid-Side EQ", "Tape Saturator"}));
    EXPECT_EQ(profiles.spotlightOpacity(), 0.0);
    openSheet();
    EXPECT_EQ(profiles.spotlightOpacity(), 1.0);
    const std::pair<qint64, int> rows[] = {{1799, 0}, {1800, 1}, {3599, 1}, {3600, 0}, {7199, 0}, {7200, 1}, {9000, 0}};
    for (const auto& [at, active] : rows) {
        SCOPED_TRACE(at);
        scheduler->advanceTo(at);
        EXPECT_EQ(profiles.activeProfile(), active);
    }
}

// --- Select Mode ---

TEST_F(OnboardingPagesTest, SelectCycleTicksRowsShowsTheBulkBarAndClears)
{
    auto& select = page<OnboardingPage3>(3);
    openSheet();
    struct Row {
        qint64 at;
        QSet<int> checked;
        bool bar;
        bool flash;
    };
    const Row rows[] = {
        {599, {}, false, false},          {600, {0}, false, false},
        {1150, {0, 2}, true, false}, // the second tick slides the bar in
        {1700, {0, 1, 2}, true, false},   {2250, {0, 1, 2, 3}, true, false},
        {3200, {0, 1, 2, 3}, true, true}, {3700, {0, 1, 2, 3}, true, false},
        {5000, {}, false, false},         {6200, {0}, false, false}, // the next cycle, 5.6 s after the first
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.at);
        scheduler->advanceTo(row.at);
        EXPECT_EQ(select.checkedRows(), row.checked);
        EXPECT_EQ(select.showBulkBar(), row.bar);
        EXPECT_EQ(select.actionFlash(), row.flash);
    }
    scheduler->advanceTo(2250 + 5600);
    EXPECT_EQ(select.selectedText(), "4 selected");
}

TEST_F(OnboardingPagesTest, LeavingAndReenteringRunsOneCycleNotTwo)
{
    auto& select = page<OnboardingPage3>(3);
    openSheet();
    scheduler->advanceTo(1300);
    ASSERT_EQ(select.checkedRows(), (QSet<int>{0, 2}));
    select.disappear(); // clears at once
    EXPECT_TRUE(select.checkedRows().isEmpty());
    EXPECT_FALSE(select.showBulkBar());
    select.appear();
    // The old cycle's ticks at 1.7 and 2.25 s no longer land; the new one ticks from 1.9 s.
    scheduler->advanceTo(1850);
    EXPECT_TRUE(select.checkedRows().isEmpty());
    scheduler->advanceTo(1900);
    EXPECT_EQ(select.checkedRows(), QSet<int>{0});
    scheduler->advanceTo(1300 + 5600 + 599);
    EXPECT_TRUE(select.checkedRows().isEmpty());
    scheduler->advanceTo(1300 + 5600 + 600);
    EXPECT_EQ(select.checkedRows(), QSet<int>{0});
}

// --- You're in Control ---

TEST_F(OnboardingPagesTest, FilePassRepeatsEveryTwoPointEightSecondsAndRingsStartInTurn)
{
    auto& control = page<OnboardingPage4>(4);
    EXPECT_DOUBLE_EQ(OnboardingPage4::ringBaseOpacity(0), 0.6);
    EXPECT_DOUBLE_EQ(OnboardingPage4::ringBaseOpacity(1), 0.3);
    EXPECT_DOUBLE_EQ(OnboardingPage4::ringBaseOpacity(2), 0.2);
    openSheet();
    struct Row {
        qint64 at;
        double offset;
        double opacity;
        int ringsPulsing;
    };
    const Row rows[] = {
        {0, -40, 0, 1},  {349, -40, 0, 1}, {350, -40, 0, 2},  {500, 40, 1, 2},
        {700, 40, 1, 3}, {1700, 40, 0, 3}, {2800, -40, 0, 3}, {3300, 40, 1, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.at);
        scheduler->advanceTo(row.at);
        EXPECT_EQ(control.fileOffset(), row.offset);
        EXPECT_EQ(control.fileOpacity(), row.opacity);
        int pulsing = 0;
        for (int i = 0; i < OnboardingPage4::kRingCount; ++i)
            pulsing += control.isRingPulsing(i) ? 1 : 0;
        EXPECT_EQ(pulsing, row.ringsPulsing);
    }
}
