#include "onboarding/OnboardingFixture.h"

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace {

/// Qt's animations (the pages' swings and pulses) move only when the picture moves them,
/// so two runs draw the same frame.
class SteppedAnimationDriver final : public QAnimationDriver {
public:
    SteppedAnimationDriver() { install(); }
    ~SteppedAnimationDriver() override { uninstall(); }
    SteppedAnimationDriver(const SteppedAnimationDriver&) = delete;
    SteppedAnimationDriver& operator=(const SteppedAnimationDriver&) = delete;

    qint64 elapsed() const override { return m_elapsedMs; }

    /// Moves the animations on by `ms`, a frame at a time, with the events each frame posts.
    void advanceBy(int ms)
    {
        constexpr int kFrameMs = 16;
        for (int done = 0; done < ms; done += kFrameMs) {
            m_elapsedMs += std::min(kFrameMs, ms - done);
            advance();
            QCoreApplication::sendPostedEvents();
        }
    }

private:
    qint64 m_elapsedMs = 0;
};

} // namespace

// Pictures of every page for the README, into the folder RACKHAND_ONBOARDING_SCREENSHOTS names.
// Stepped time picks a moment of each page's cycle worth showing, and the animations of the
// last steps run on for a stepped while.
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
        SteppedAnimationDriver animations;
        auto stepped = std::make_shared<SteppedScheduler>();
        OnboardingView view(services, nullptr, shot.page, OnboardingView::kPageCount, stepped);
        view.show();
        stepped->advance(shot.atMs);
        animations.advanceBy(900); // the eased moves of the last steps settle
        EXPECT_TRUE(view.grab().save(folder + u'/' + QLatin1String(shot.file)));
        view.reject();
    }
}
