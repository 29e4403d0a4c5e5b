#include "shell/UpdateBanner.h"

#include "Platform/PlatformServices.h"
#include "Platform/testing/RecordingWorkspace.h"
#include "Support/Eventually.h"
#include "shell/UpdateChecker.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class UpdateBannerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        banner = new UpdateBanner(checker, workspace, &parent);
        banner->setTerminate([this] { ++terminations; });
        parent.show();
    }

    UpdateChecker checker;
    QWidget parent;
    UpdateBanner* banner = nullptr;
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    int terminations = 0;
};

} // namespace

TEST_F(UpdateBannerTest, ShowsExactlyWhileAnUpdateIsAvailable)
{
    EXPECT_FALSE(banner->isVisible());
    checker.apply({QStringLiteral("2.5.0"), std::nullopt, std::nullopt, true});
    EXPECT_TRUE(banner->isVisible());
    EXPECT_EQ(banner->title(), QStringLiteral("Update Available — v2.5.0"));
    EXPECT_FALSE(banner->releaseNotesShown());

    checker.apply({std::nullopt, std::nullopt, QStringLiteral("Line one\nline two"), true});
    EXPECT_EQ(banner->title(), QStringLiteral("Update Available — v"));
    EXPECT_TRUE(banner->releaseNotesShown());
    EXPECT_EQ(banner->releaseNotes(), QStringLiteral("Line one line two")); // one line

    QTest::mouseClick(banner->dismissButton(), Qt::LeftButton);
    EXPECT_FALSE(checker.updateAvailable());
    EXPECT_FALSE(banner->isVisible());
    EXPECT_EQ(checker.updateReleaseNotes(), QStringLiteral("Line one\nline two"));
    // A later check that reports an update brings it back.
    checker.apply({QStringLiteral("2.6"), std::nullopt, std::nullopt, true});
    EXPECT_TRUE(banner->isVisible());
}

TEST_F(UpdateBannerTest, DownloadOpensTheAddressThenQuitsHalfASecondLater)
{
    checker.apply(
        {QStringLiteral("2.5.0"), QStringLiteral("https://downloads.rackhand.app/R.dmg"), std::nullopt, true});
    QTest::mouseClick(banner->downloadButton(), Qt::LeftButton);
    ASSERT_EQ(workspace->opened().size(), 1);
    EXPECT_EQ(workspace->opened().first(), QUrl(QStringLiteral("https://downloads.rackhand.app/R.dmg")));
    QTest::qWait(300);
    EXPECT_EQ(terminations, 0);
    RACKHAND_ASSERT_EVENTUALLY_EQ(terminations, 1, 2000);

    // Opening fails: the program still quits.
    workspace->setAnswer(false);
    banner->download();
    RACKHAND_ASSERT_EVENTUALLY_EQ(terminations, 2, 2000);
}

TEST_F(UpdateBannerTest, ALongNoteIsOneTruncatedLine)
{
    const QString notes = QString(5000, QLatin1Char('n'));
    checker.apply({QStringLiteral("3"), std::nullopt, notes, true});
    parent.resize(600, 80);
    QTest::qWait(10);
    EXPECT_EQ(banner->releaseNotes(), notes);
    EXPECT_LE(banner->sizeHint().height(), 120);
}
