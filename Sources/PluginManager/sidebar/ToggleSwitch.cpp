#include "sidebar/ToggleSwitch.h"

#include <QPainter>

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent), m_tint(Qt::blue)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToggleSwitch::setTint(const QColor& tint)
{
    m_tint = tint;
    update();
}

QSize ToggleSwitch::sizeHint() const
{
    return {34, 20};
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    QColor trackColor = isChecked() ? m_tint : palette().color(QPalette::Mid);
    if (!isEnabled())
        trackColor.setAlphaF(0.4);
    painter.setPen(hasFocus() ? QPen(palette().color(QPalette::Highlight), 1.5) : Qt::NoPen);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, radius, radius);
    const qreal knob = track.height() - 4;
    const qreal x = isChecked() ? track.right() - knob - 2 : track.left() + 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}
