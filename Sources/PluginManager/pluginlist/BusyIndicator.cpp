#include "BusyIndicator.h"

#include "AppTheme.h"

#include <QPainter>

BusyIndicator::BusyIndicator(int diameter, QWidget* parent) : QWidget(parent), m_diameter(diameter)
{
    setFixedSize(diameter, diameter);
    setAccessibleName(QStringLiteral("Loading"));
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % 12;
        update();
    });
}

QSize BusyIndicator::sizeHint() const
{
    return {m_diameter, m_diameter};
}

void BusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal outer = m_diameter / 2.0 - 0.5;
    for (int i = 0; i < 12; ++i) {
        QColor color = AppTheme::textSecondary();
        color.setAlphaF(0.15 + 0.85 * ((12 + i - m_step) % 12) / 11.0);
        painter.setPen(QPen(color, qMax(1.0, m_diameter / 10.0), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -outer * 0.45), QPointF(0, -outer));
        painter.rotate(30);
    }
}

void BusyIndicator::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void BusyIndicator::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}
