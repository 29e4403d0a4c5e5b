#include "widgets/Styles.h"

#include "widgets/GlassStyle.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The room a button's style leaves for its label at the button's own size.
QRect labelRoom(const QPushButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.features = QStyleOptionButton::None;
    if (button.hasFocus())
        option.state |= QStyle::State_HasFocus;
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

} // namespace

// A filled button rings itself while focused; the ring must not eat the label's room, or
// the descenders of "Try Again" are cut off.
TEST(StylesTest, AFocusedFilledButtonKeepsItsWholeLabel)
{
    const struct {
        const char* name;
        QString sheet;
    } cases[] = {
        {"prominent", Styles::prominentButton(QColor(0, 120, 215))},
        {"pill", Styles::pillButton(QColor(0, 120, 215), 14, 6, 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window;
        auto* button = new QPushButton(QStringLiteral("Try Again"), &window);
        button->setStyleSheet(c.sheet);
        const QSize unfocusedHint = button->sizeHint();
        button->resize(unfocusedHint);
        window.show();
        window.activateWindow();
        // As Tab gives it: the style then draws keyboard focus.
        window.setAttribute(Qt::WA_KeyboardFocusChange);
        button->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(button->hasFocus());

        EXPECT_EQ(button->sizeHint(), unfocusedHint);
        const QRect room = labelRoom(*button);
        const QFontMetrics metrics(button->font());
        EXPECT_GE(room.height(), metrics.height());
        EXPECT_GE(room.width(), metrics.horizontalAdvance(button->text()));

        // Focus shows in the ring alone: inside it the button looks as it does unfocused,
        // with no focus frame drawn over (and cutting into) its label.
        const QImage focused = button->grab().toImage();
        button->clearFocus();
        QApplication::processEvents();
        const QImage unfocused = button->grab().toImage();
        const qreal scale = focused.devicePixelRatio();
        const QRect inside(room.topLeft() * scale, room.size() * scale);
        EXPECT_EQ(focused.copy(inside), unfocused.copy(inside));
    }
}

namespace {

int distance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// Pixels that `after` draws clearly nearer to `colour` than `before` does.
int pixelsTurnedTowards(const QImage& before, const QImage& after, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < std::min(before.height(), after.height()); ++y) {
        for (int x = 0; x < std::min(before.width(), after.width()); ++x) {
            if (distance(after.pixelColor(x, y), colour) + 60 < distance(before.pixelColor(x, y), colour))
                ++count;
        }
    }
    return count;
}

} // namespace

// Controls that draw themselves or drop their frame still show where the keyboard is, with
// the ring the painted chips draw: a line in the highlight colour around the control.
TEST(StylesTest, KeyboardFocusRingsTheControlsWithoutAFrame)
{
    const struct {
        const char* name;
        std::function<QPushButton*(QWidget*)> make;
    } cases[] = {
        {"sidebar row", [](QWidget* parent) { return new SidebarItemButton(QStringLiteral("All Plugins"), parent); }},
        {"purple press", [](QWidget* parent) { return new PurplePressButton(QStringLiteral("Invert"), parent); }},
        {"ringed text",
         [](QWidget* parent) {
             auto* button = new QPushButton(QStringLiteral("Reset"), parent);
             button->setFlat(true);
             button->setStyleSheet(Styles::ringedTextButton(QColor(90, 90, 90)));
             return button;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window;
        QPushButton* button = c.make(&window);
        button->resize(button->sizeHint().expandedTo(QSize(120, 0)));
        window.show();
        window.activateWindow();
        window.setAttribute(Qt::WA_KeyboardFocusChange);
        const QSize unfocusedHint = button->sizeHint();
        const QImage unfocused = button->grab().toImage();
        button->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(button->hasFocus());
        const QImage focused = button->grab().toImage();

        const QColor ring = button->palette().color(QPalette::Highlight);
        const int perimeter = 2 * (focused.width() + focused.height());
        EXPECT_GT(pixelsTurnedTowards(unfocused, focused, ring), perimeter / 2);
        EXPECT_EQ(button->sizeHint(), unfocusedHint); // the ring takes no room of its own
    }
}
