#include "shell/HiddenKeySequence.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

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

namespace {

/// Behaves like a screen reader's bridge: it holds every key the window gets, lets its
/// client look at it, then delivers a copy to the same window.
class ListeningBridge final : public QObject {
public:
    void flush()
    {
        auto held = std::move(m_held);
        m_held.clear();
        for (auto& [target, event] : held) {
            if (target)
                QCoreApplication::sendEvent(target, event.get());
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
        if (!key || !event->spontaneous() || !qobject_cast<QWindow*>(watched))
            return false;
        const auto* k = static_cast<QKeyEvent*>(event);
        m_held.emplace_back(QPointer<QObject>(watched),
                            std::make_unique<QKeyEvent>(k->type(), k->key(), k->modifiers(), k->text()));
        return true;
    }

private:
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QKeyEvent>>> m_held;
};

} // namespace

// A listening assistive client must not change what the sequence does, whether its bridge
// looked at keys before the sequence was armed or only after.
TEST_F(HiddenKeySequenceTest, TheSequenceWorksTheSameWhileAnAssistiveClientListens)
{
    for (const bool bridgeFirst : {true, false}) {
        SCOPED_TRACE(bridgeFirst ? "bridge installed before arming" : "bridge installed after arming");
        field->clear();
        ListeningBridge bridge;
        if (bridgeFirst)
            qApp->installEventFilter(&bridge);
        const int before = matches;
        sequence.arm();
        if (!bridgeFirst)
            qApp->installEventFilter(&bridge);
        for (const QChar c : QStringLiteral("qxmvbzjr")) {
            QTest::keyClick(window.windowHandle(), c.toLatin1());
            bridge.flush();
        }
        qApp->removeEventFilter(&bridge);
        EXPECT_EQ(matches, before + 1);
        EXPECT_EQ(field->text(), QStringLiteral("qxmvbzj"));
    }
}
