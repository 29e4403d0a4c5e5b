#include "Support/ScreenReaderSession.h"
#include "onboarding/OnboardingFixture.h"
#include "onboarding/OnboardingPage.h"
#include "onboarding/OnboardingPage5.h"
#include "onboarding/OnboardingPageShell.h"
#include "onboarding/PageIndicator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

class OnboardingViewTest : public OnboardingTest {
protected:
    /// Waits out the cross-fade: only the current page is left shown.
    bool onlyCurrentPageShown()
    {
        return QTest::qWaitFor(
            [this] {
                for (int i = 0; i < OnboardingView::kPageCount; ++i) {
                    if (sheet().page(i)->isVisible() != (i == sheet().currentPage()))
                        return false;
                }
                return true;
            },
            2000);
    }

    /// What the navigation shows: the page, the leading slot, the trailing button and the wide dot.
    static QString navigation(const OnboardingView& view)
    {
        const PageIndicator* dots = view.pageIndicator();
        int wide = -1;
        for (int i = 0; i < dots->count(); ++i) {
            if (dots->dotWidth(i) == 18)
                wide = i;
        }
        return QStringLiteral("page %1 | %2 | %3 | wide dot %4 of %5")
            .arg(view.currentPage())
            .arg(view.backButton()->isVisible() ? view.backButton()->text() : QStringLiteral("empty"))
            .arg(view.nextButton()->text())
            .arg(wide)
            .arg(dots->count());
    }

    static int pagesInSheet(const OnboardingView& view)
    {
        int count = 0;
        for (int i = 0; i < OnboardingView::kPageCount; ++i)
            count += view.page(i)->isInSheet() ? 1 : 0;
        return count;
    }

    /// The buttons Tab visits, by accessible name, going round a few times.
    static QStringList focusRing(OnboardingView& view)
    {
        QStringList reached;
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &view, Qt::Key_Tab);
            if (const auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget()))
                reached << button->accessibleName();
        }
        reached.removeDuplicates();
        reached.sort();
        return reached;
    }
};

} // namespace

TEST_F(OnboardingViewTest, EveryPageShowsItsTitleAndTextExactly)
{
    struct Row {
        int page;
        const char* title;
        const char* description;
    };
    const Row rows[] = {
        {0, "Welcome to Rackhand",
         "The all-in-one audio plugin manager for macOS. Scan, organize, and control every AU, VST, VST3, AAX, and "
         "CLAP plugin on your system."},
        {1, "Enable & Disable Plugins",
         "Toggle any plugin on or off without uninstalling it. Disabled plugins are moved to a safe folder — bring "
         "them back any time."},
        {2, "Profiles",
         "Save your plugin setup as a profile. Switch instantly between configurations for mixing, mastering, or "
         "different sessions."},
        {3, "Select Mode",
         "Tap \"Select\" to enter Select Mode. Choose one or more plugins, then press Enter to add them to the bulk "
         "action panel — enable, disable, or delete them all at once."},
        {4, "You're in Control",
         "Nothing is permanently deleted unless you choose it. Rackhand just moves files — your plugins are always "
         "safe and recoverable."},
        {5, "One Permission Needed",
         "Rackhand needs Full Disk Access to enable, disable, and delete plugins in system folders."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        OnboardingPage* page = sheet().page(row.page);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->title(), QString::fromUtf8(row.title));
        EXPECT_EQ(page->description(), QString::fromUtf8(row.description));
        // What the user reads is the same text, not a shortened or rich-text form of it.
        QStringList shown;
        for (const QLabel* label : page->findChildren<QLabel*>())
            shown << label->text();
        EXPECT_TRUE(shown.contains(QString::fromUtf8(row.title))) << shown.join('|').toStdString();
        EXPECT_TRUE(shown.contains(QString::fromUtf8(row.description))) << shown.join('|').toStdString();
    }
}

TEST_F(OnboardingViewTest, NextAndBackWalkThePagesAndGetStartedCloses)
{
    OnboardingView& view = openSheet();
    QSignalSpy finished(&view, &QDialog::finished);
    EXPECT_EQ(navigation(view), "page 0 | empty | Next | wide dot 0 of 6");
    const int slotLeft = view.nextButton()->x();

    for (int i = 1; i <= 5; ++i)
        QTest::mouseClick(view.nextButton(), Qt::LeftButton);
    EXPECT_EQ(navigation(view), "page 5 | Back | Get Started | wide dot 5 of 6");
    EXPECT_TRUE(onlyCurrentPageShown());
    EXPECT_TRUE(finished.isEmpty());

    QTest::mouseClick(view.backButton(), Qt::LeftButton);
    EXPECT_EQ(navigation(view), "page 4 | Back | Next | wide dot 4 of 6");
    EXPECT_TRUE(onlyCurrentPageShown());
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(view.backButton(), Qt::LeftButton);
    EXPECT_EQ(navigation(view), "page 0 | empty | Next | wide dot 0 of 6");
    EXPECT_EQ(view.nextButton()->x(), slotLeft); // the hidden Back keeps its space
    EXPECT_TRUE(finished.isEmpty());
}

TEST_F(OnboardingViewTest, DotsFollowThePageCountAndTheStartIsKeptInRange)
{
    struct Row {
        const char* name;
        int start;
        int count;
        int expectedStart;
        int lastPage;
    };
    const Row rows[] = {
        {"six pages", 0, 6, 0, 5},
        {"three dots end early", 0, 3, 0, 2},
        {"start past the end", 9, 6, 5, 5},
        {"negative start", -2, 6, 0, 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OnboardingView view(services, nullptr, row.start, row.count, scheduler);
        EXPECT_EQ(view.currentPage(), row.expectedStart);
        EXPECT_EQ(view.pageIndicator()->count(), row.count);
        for (int i = 0; i < 10; ++i) {
            if (view.nextButton()->text() == "Get Started")
                break;
            view.goForward();
        }
        EXPECT_EQ(view.currentPage(), row.lastPage);
        EXPECT_EQ(view.nextButton()->text(), "Get Started");
    }
}

TEST_F(OnboardingViewTest, EveryWayOfClosingFinishesTheSheetOnce)
{
    struct Row {
        const char* name;
        std::function<void(OnboardingView&)> close;
        int result;
    };
    const Row rows[] = {
        {"Get Started",
         [](OnboardingView& v) {
             for (int i = 0; i < 5; ++i)
                 v.goForward();
             QTest::mouseClick(v.nextButton(), Qt::LeftButton);
         },
         QDialog::Accepted},
        {"Escape", [](OnboardingView& v) { QTest::keyClick(&v, Qt::Key_Escape); }, QDialog::Rejected},
        {"the window's close button", [](OnboardingView& v) { v.close(); }, QDialog::Rejected},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OnboardingView view(services, nullptr, 0, 6, scheduler);
        view.show();
        EXPECT_EQ(pagesInSheet(view), 6); // every page enters when the sheet opens
        QSignalSpy finished(&view, &QDialog::finished);
        row.close(view);
        ASSERT_EQ(finished.size(), 1);
        EXPECT_EQ(finished.first().first().toInt(), row.result);
        EXPECT_FALSE(view.isVisible());
        EXPECT_EQ(pagesInSheet(view), 0);
    }

    // The window going away with the sheet open closes it too.
    auto view = std::make_unique<OnboardingView>(services, nullptr, 0, 6, scheduler);
    view->show();
    QSignalSpy finished(view.get(), &QDialog::finished);
    view.reset();
    EXPECT_EQ(finished.size(), 1);
}

TEST_F(OnboardingViewTest, EveryControlIsNamedAndTabReachesTheNavigation)
{
    probe->setGranted(false); // the settings button is there too
    OnboardingView& view = openSheet();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));

    EXPECT_EQ(focusRing(view), QStringList{"Next"});
    view.goForward();
    EXPECT_EQ(focusRing(view), (QStringList{"Back", "Next"}));
    for (int i = 0; i < 4; ++i)
        view.goForward();
    ASSERT_TRUE(onlyCurrentPageShown());
    EXPECT_EQ(focusRing(view), (QStringList{"Back", "Get Started", "Open System Settings"}));

    for (const QAbstractButton* button : view.findChildren<QAbstractButton*>()) {
        EXPECT_FALSE(button->accessibleName().isEmpty()) << button->text().toStdString();
        EXPECT_NE(button->focusPolicy() & Qt::TabFocus, 0) << button->text().toStdString();
    }
    EXPECT_EQ(view.pageIndicator()->accessibleName(), "Page 6 of 6");
}

// A page change leaves the keyboard on its button; the button's description names the page
// now shown, so its change is what a screen reader says.
TEST_F(OnboardingViewTest, ThePageShownIsToldByTheButtons)
{
    OnboardingView& view = openSheet();
    EXPECT_EQ(view.nextButton()->accessibleDescription(), QStringLiteral("Page 1 of 6: Welcome to Rackhand"));
    view.goForward();
    const QString second = QStringLiteral("Page 2 of 6: ") + view.page(1)->title();
    EXPECT_EQ(view.nextButton()->accessibleDescription(), second);
    EXPECT_EQ(view.backButton()->accessibleDescription(), second);
    EXPECT_EQ(view.page(1)->accessibleName(), view.page(1)->title());
}

// Inside a screen-reader session: Next is pressed and the screen reader hears the new page.
TEST_F(OnboardingViewTest, ScreenReaderHearsThePageChange)
{
    RACKHAND_REQUIRE_SCREEN_READER();
    OnboardingView& view = openSheet();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.nextButton()->setFocus();
    AccessibleEventLog log;
    QTest::keyClick(view.nextButton(), Qt::Key_Space);
    bool heard = false;
    for (const AccessibleEventLog::Heard& h : log.of(QAccessible::DescriptionChanged)) {
        if (h.object == QAccessible::queryAccessibleInterface(view.nextButton()) && h.state.focused)
            heard = h.object->text(QAccessible::Description).contains(view.page(1)->title());
    }
    EXPECT_TRUE(heard);
}

TEST_F(OnboardingViewTest, RunsUnderAScreenReader)
{
    RACKHAND_EXPECT_PASSES_WITH_A_SCREEN_READER(QStringLiteral("*ScreenReaderHears*"), home(),
                                                dataDir() + QStringLiteral("/session"));
}

TEST_F(OnboardingViewTest, EnterPressesTheFocusedButton)
{
    OnboardingView& view = openSheet(); // access is missing: the last page shows its settings button
    QSignalSpy finished(&view, &QDialog::finished);
    view.nextButton()->setFocus();
    QTest::keyClick(view.nextButton(), Qt::Key_Return);
    QTest::keyClick(view.nextButton(), Qt::Key_Return);
    EXPECT_EQ(view.currentPage(), 2);
    view.backButton()->setFocus();
    QTest::keyClick(view.backButton(), Qt::Key_Return);
    EXPECT_EQ(view.currentPage(), 1);
    for (int i = 0; i < 4; ++i)
        view.goForward();
    auto* settings = static_cast<OnboardingPage5*>(view.page(5))->settingsButton();
    settings->setFocus();
    QTest::keyClick(settings, Qt::Key_Return);
    EXPECT_EQ(workspace->opened().size(), 1); // not the sheet's default button
    EXPECT_TRUE(finished.isEmpty());
    view.nextButton()->setFocus();
    QTest::keyClick(view.nextButton(), Qt::Key_Return);
    EXPECT_EQ(finished.size(), 1);
}
