#include "HiddenKeySequence.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

namespace {

/// A window with a focused search field; keys go through the window like real ones.
class HiddenKeySequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        field = new QLineEdit;
        layout->addWidget(field);
        window.show();
        window.activateWindow();
        field->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void type(const QString& text)
    {
        for (const QChar c : text) {
            const Qt::KeyboardModifiers mods = c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
            QTest::keyClick(window.windowHandle(), c.toLatin1(), mods);
        }
    }
    void press(Qt::Key key) { QTest::keyClick(window.windowHandle(), key); }

    QWidget window;
    QLineEdit* field = nullptr;
    int matches = 0;
    HiddenKeySequence sequence{[this] { ++matches; }};
};

} // namespace

TEST_F(HiddenKeySequenceTest, KeysAreIgnoredUntilArmed)
{
    type("qxmvbzjr");
    EXPECT_EQ(matches, 0);
    EXPECT_EQ(field->text(), QStringLiteral("qxmvbzjr"));
    EXPECT_FALSE(sequence.isMonitorInstalled());
}

TEST_F(HiddenKeySequenceTest, TheSequenceMatchesSwallowingOnlyItsLastKey)
{
    sequence.arm();
    EXPECT_TRUE(sequence.isMonitorInstalled());
    type("abqxmvbzjr"); // extra letters first do not matter
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(field->text(), QStringLiteral("abqxmvbzj"));
    EXPECT_FALSE(sequence.isArmed());
    EXPECT_FALSE(sequence.isMonitorInstalled());
    // Disarmed after a match: typing it again does nothing.
    type("qxmvbzjr");
    EXPECT_EQ(matches, 1);
}

TEST_F(HiddenKeySequenceTest, UpperCaseCountsAndNonAlphanumericKeysDoNotBreakIt)
{
    sequence.arm();
    type("QXM");
    press(Qt::Key_Space);
    type(".");
    press(Qt::Key_Left);
    press(Qt::Key_F1);
    press(Qt::Key_Shift);
    type("vBzjR");
    EXPECT_EQ(matches, 1);
}

TEST_F(HiddenKeySequenceTest, ADigitBreaksTheSequenceAndTheBufferKeepsEightCharacters)
{
    sequence.arm();
    type("qxmv1bzjr");
    EXPECT_EQ(matches, 0);
    EXPECT_EQ(sequence.buffer(), QStringLiteral("xmv1bzjr"));
    EXPECT_FALSE(sequence.handleKeyText(QStringLiteral("ab"))); // several characters: ignored
    EXPECT_EQ(sequence.buffer(), QStringLiteral("xmv1bzjr"));
    // Every arming starts from an empty buffer.
    sequence.arm();
    EXPECT_EQ(sequence.buffer(), QString());
    type("qxmvbzjr");
    EXPECT_EQ(matches, 1);
}

TEST_F(HiddenKeySequenceTest, TheArmingWindowEndsWithTheFirstTimerToExpire)
{
    EXPECT_EQ(sequence.armingWindowMs(), 10000);
    sequence.setArmingWindowMs(400);
    sequence.arm();
    type("qxm");
    QTest::qWait(250);
    sequence.arm(); // a second Reset: its own timer, the first one keeps running
    EXPECT_TRUE(sequence.isArmed());
    EXPECT_EQ(sequence.buffer(), QString());
    QTest::qWait(250); // the first timer has expired, the second has not
    EXPECT_FALSE(sequence.isArmed());
    EXPECT_FALSE(sequence.isMonitorInstalled());
    type("qxmvbzjr");
    EXPECT_EQ(matches, 0);
    EXPECT_EQ(field->text(), QStringLiteral("qxmqxmvbzjr"));
}
