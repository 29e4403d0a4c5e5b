#include "widgets/Typography.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

// Sets the application font for one test and puts the old one back.
class ApplicationFont {
public:
    explicit ApplicationFont(double pointSize) : m_saved(QApplication::font())
    {
        QFont font = m_saved;
        font.setPointSizeF(pointSize);
        QApplication::setFont(font);
    }
    ~ApplicationFont() { QApplication::setFont(m_saved); }
    ApplicationFont(const ApplicationFont&) = delete;
    ApplicationFont& operator=(const ApplicationFont&) = delete;

private:
    QFont m_saved;
};

} // namespace

// The sidebar scales the base size, the content column steps it: at 12 pt every style of
// the two columns keeps its own size, and the window's look depends on each one.
TEST(TypographyTest, EachColumnKeepsItsOwnScale)
{
    const ApplicationFont base(12);
    struct Case {
        const char* name;
        QFont (*font)();
        double pointSize;
        QFont::Weight weight;
    };
    const Case cases[] = {
        {"body", &Typography::body, 12, QFont::Normal},
        {"sidebarTitle", &Typography::sidebarTitle, 19.2, QFont::Bold},
        {"sidebarHeadline", &Typography::sidebarHeadline, 12, QFont::DemiBold},
        {"sidebarSubheadline", &Typography::sidebarSubheadline, 11.04, QFont::DemiBold},
        {"sidebarCallout", &Typography::sidebarCallout, 11.4, QFont::Normal},
        {"sidebarCaption", &Typography::sidebarCaption, 10.2, QFont::Normal},
        {"sidebarCaption2", &Typography::sidebarCaption2, 9.6, QFont::Normal},
        {"listHeadline", &Typography::listHeadline, 13, QFont::DemiBold},
        {"listSubheadline", &Typography::listSubheadline, 11.5, QFont::Normal},
        {"listCallout", &Typography::listCallout, 11.5, QFont::Normal},
        {"listCaption", &Typography::listCaption, 11, QFont::Normal},
        {"listCaption2", &Typography::listCaption2, 10.5, QFont::Normal},
        {"onboardingTitle", &Typography::onboardingTitle, 12 * 17 / 13.0, QFont::Bold},
        {"onboardingCallout", &Typography::onboardingCallout, 12 * 12 / 13.0, QFont::Normal},
        {"onboardingCaption", &Typography::onboardingCaption, 12 * 10.5 / 13.0, QFont::Normal},
        {"onboardingCaption2", &Typography::onboardingCaption2, 12 * 10 / 13.0, QFont::Normal},
    };
    for (const Case& c : cases) {
        const QFont font = c.font();
        EXPECT_NEAR(font.pointSizeF(), c.pointSize, 0.01) << c.name;
        EXPECT_EQ(font.weight(), c.weight) << c.name;
        EXPECT_EQ(font.family(), QApplication::font().family()) << c.name;
    }
    EXPECT_EQ(Typography::withWeight(Typography::listCaption(), QFont::Medium).weight(), QFont::Medium);
    // Sheets and banners scale the same base by their own factors.
    EXPECT_NEAR(Typography::scaled(1.3).pointSizeF(), 15.6, 0.01);
    EXPECT_EQ(Typography::scaled(1.3).weight(), QFont::Normal);
    EXPECT_EQ(Typography::scaled(0.95, QFont::DemiBold).weight(), QFont::DemiBold);
    EXPECT_EQ(Typography::scaled(0.95, QFont::DemiBold).family(), QApplication::font().family());
}

// Stepping down from a tiny desktop font stops at 6 pt in the content column and the
// first-start sheet.
TEST(TypographyTest, TheContentColumnNeverGoesBelowSixPoints)
{
    const ApplicationFont base(6.5);
    EXPECT_NEAR(Typography::listCaption2().pointSizeF(), 6, 0.01);
    EXPECT_NEAR(Typography::onboardingCaption2().pointSizeF(), 6, 0.01);
    EXPECT_NEAR(Typography::sidebarCaption2().pointSizeF(), 5.2, 0.01);
}
