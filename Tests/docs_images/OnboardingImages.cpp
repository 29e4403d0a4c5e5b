#include "onboarding/OnboardingFixture.h"

#include <QDir>
#include <QTest>

// Pictures of every page for the README, into the folder RACKHAND_ONBOARDING_SCREENSHOTS names.
// Stepped time picks a moment of each page's cycle worth showing.
TEST_F(OnboardingTest, ScreenshotOfEveryPage)
{
    const QString folder = qEnvironmentVariable("RACKHAND_ONBOARDING_SCREENSHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set RACKHAND_ONBOARDING_SCREENSHOTS to a folder";
    ASSERT_TRUE(QDir().mkpath(folder));
    struct Shot {
        const char* file;
        int page;
        qint64 atMs;
        bool access;
    };
    const Shot shots[] = {
        {"onboarding-welcome.png", 0, 1200, false},    {"onboarding-enable.png", 1, 1400, false},
        {"onboarding-profiles.png", 2, 2600, false},   {"onboarding-select.png", 3, 3300, false},
        {"onboarding-control.png", 4, 1100, false},    {"onboarding-access.png", 5, 0, false},
        {"onboarding-access-granted.png", 5, 0, true},
    };
    for (const Shot& shot : shots) {
        SCOPED_TRACE(shot.file);
        probe->setGranted(shot.access);
        auto stepped = std::make_shared<SteppedScheduler>();
        OnboardingView view(services, nullptr, shot.page, OnboardingView::kPageCount, stepped);
        view.show();
        stepped->advance(shot.atMs);
        QTest::qWait(900); // the eased moves of the last steps settle
        EXPECT_TRUE(view.grab().save(folder + u'/' + QLatin1String(shot.file)));
        view.reject();
    }
}
