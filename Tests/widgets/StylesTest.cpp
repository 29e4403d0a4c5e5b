#include "widgets/Styles.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

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
