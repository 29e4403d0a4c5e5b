#include "Platform/DefaultsStore.h"
#include "onboarding/OnboardingView.h"
#include "shell/ShellFixture.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

/// The root view with the real onboarding sheet.
class OnboardingFlagTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        seams.onboardingSheet = ContentViewSeams::makeOnboardingSheet;
    }

    OnboardingView* shownSheet()
    {
        auto* sheet = qobject_cast<OnboardingView*>(view().onboardingSheet());
        return sheet && sheet->isVisible() ? sheet : nullptr;
    }

    /// A first start with fresh settings: the sheet opens, `close` closes it, the flag is
    /// stored, and the start after that shows no sheet.
    void closeAndStartAgain(const std::function<void(OnboardingView&)>& close)
    {
        defaults = std::make_shared<MemoryDefaultsStore>(); // the next view model is built on these
        closeView();
        ASSERT_TRUE(view().showingOnboarding());
        ASSERT_TRUE(showAndWaitForStartup());
        OnboardingView* sheet = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (sheet = shownSheet()) != nullptr; }, 2000));
        EXPECT_EQ(sheet->currentPage(), 0);
        EXPECT_FALSE(defaults->value(DefaultsStore::standardSuite(), "onboardingComplete").isValid());
        close(*sheet);
        EXPECT_TRUE(defaults->value(DefaultsStore::standardSuite(), "onboardingComplete").toBool());
        EXPECT_FALSE(view().showingOnboarding());

        closeView();
        EXPECT_FALSE(view().showingOnboarding());
        ASSERT_TRUE(showAndWaitForStartup());
        QTest::qWait(30);
        EXPECT_EQ(view().onboardingSheet(), nullptr);
    }
};

} // namespace

TEST_F(OnboardingFlagTest, EveryWayOfClosingIsStoredAndTheNextStartShowsNoSheet)
{
    struct Row {
        const char* name;
        std::function<void(OnboardingView&)> close;
    };
    const Row rows[] = {
        {"Get Started",
         [](OnboardingView& sheet) {
             for (int i = 0; i < 5; ++i)
                 QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
             QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
         }},
        {"Escape", [](OnboardingView& sheet) { QTest::keyClick(&sheet, Qt::Key_Escape); }},
        {"the window's close button", [](OnboardingView& sheet) { sheet.close(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        closeAndStartAgain(row.close);
    }
}

TEST_F(OnboardingFlagTest, TheWindowGoingAwayWithTheSheetOpenStillStoresTheFlag)
{
    ASSERT_TRUE(showAndWaitForStartup());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownSheet() != nullptr; }, 2000));
    closeView();
    EXPECT_TRUE(defaults->value(DefaultsStore::standardSuite(), "onboardingComplete").toBool());
}
