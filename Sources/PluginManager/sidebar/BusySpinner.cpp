#include "BusySpinner.h"

#include <QPainter>

BusySpinner::BusySpinner(QWidget* parent) : QWidget(parent), m_tint(Qt::darkMagenta)
{
    setFixedSize(20, 20);
    setAccessibleName(tr("Busy"));
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
}

void BusySpinner::setTint(const QColor& tint)
{
    m_tint = tint;
    update();
}

void BusySpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(m_tint, 2.5);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF box = QRectF(rect()).adjusted(3, 3, -3, -3);
    painter.drawArc(box, -m_angle * 16, 270 * 16);
}

void BusySpinner::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void BusySpinner::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}
