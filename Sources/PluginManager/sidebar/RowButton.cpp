#include "sidebar/RowButton.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStyleOptionFocusRect>

RowButton::RowButton(const QString& accessibleName, QWidget* parent) : QAbstractButton(parent)
{
    setText(accessibleName);
    setAccessibleName(accessibleName);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(10, 6, 10, 6);
    m_row->setSpacing(6);
}

QSize RowButton::sizeHint() const
{
    return m_row->sizeHint();
}

QSize RowButton::minimumSizeHint() const
{
    return m_row->minimumSize();
}

void RowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isEnabled() && (isDown() || m_hovered)) {
        QColor overlay = palette().color(QPalette::WindowText);
        overlay.setAlphaF(isDown() ? 0.12 : 0.05);
        painter.setPen(Qt::NoPen);
        painter.setBrush(overlay);
        painter.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void RowButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    m_hovered = true;
    update();
}

void RowButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    m_hovered = false;
    update();
}
