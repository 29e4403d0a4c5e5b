#include "widgets/BusySpinner.h"

#include "widgets/AppTheme.h"

#include <QPainter>

namespace {
constexpr int kTicks = 12;
constexpr int kStepMs = 80;
} // namespace

BusySpinner::BusySpinner(int diameter, const QString& accessibleName, QWidget* parent)
    : QWidget(parent), m_diameter(diameter)
{
    setFixedSize(diameter, diameter);
    setAccessibleName(accessibleName);
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kTicks;
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
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal outer = m_diameter / 2.0 - 0.5;
    const QColor base = m_tint.value_or(AppTheme::textSecondary());
    for (int i = 0; i < kTicks; ++i) {
        QColor color = base;
        color.setAlphaF(0.15 + 0.85 * ((kTicks + i - m_step) % kTicks) / (kTicks - 1.0));
        painter.setPen(QPen(color, qMax(1.0, m_diameter / 10.0), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -outer * 0.45), QPointF(0, -outer));
        painter.rotate(360.0 / kTicks);
    }
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
