#include "widgets/SpringValue.h"

SpringValue::SpringValue(qreal value, Motion::Spring spring, QObject* parent)
    : QObject(parent), m_spring(spring), m_value(value), m_target(value)
{
    const int settle = m_spring.settleMs();
    m_clock.setStartValue(0.0);
    m_clock.setEndValue(settle / 1000.0);
    m_clock.setDuration(settle);
    connect(&m_clock, &QVariantAnimation::valueChanged, this, [this](const QVariant& elapsed) {
        setValue(m_target + m_spring.displacementAt(elapsed.toDouble(), m_displacement, m_velocity));
    });
    connect(&m_clock, &QAbstractAnimation::finished, this, [this] { setValue(m_target); });
}

double SpringValue::seconds() const
{
    return m_clock.currentTime() / 1000.0;
}

void SpringValue::setTarget(qreal target, bool animated)
{
    const double velocity = isMoving() ? m_spring.velocityAt(seconds(), m_displacement, m_velocity) : 0.0;
    m_clock.stop();
    m_target = target;
    if (!animated) {
        setValue(target);
        return;
    }
    if (m_value == target && velocity == 0)
        return;
    m_displacement = m_value - target;
    m_velocity = velocity;
    MotionTimeline::current().start(m_clock);
}

void SpringValue::setValue(qreal value)
{
    if (value == m_value)
        return;
    m_value = value;
    Q_EMIT valueChanged(m_value);
}
