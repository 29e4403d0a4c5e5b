#include "widgets/ToggleMotion.h"

#include "widgets/Motion.h"

#include <QEasingCurve>

ToggleMotion::ToggleMotion(int durationMs, const QEasingCurve& curve, bool on, QObject* parent)
    : QObject(parent), m_value(on ? 1 : 0), m_on(on)
{
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    m_animation.setDuration(durationMs);
    m_animation.setEasingCurve(curve);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_value = value.toReal();
        Q_EMIT valueChanged(m_value);
    });
    connect(&m_animation, &QAbstractAnimation::finished, this, [this] { jump(m_on ? 1 : 0); });
}

void ToggleMotion::setOn(bool on, bool animated)
{
    if (on == m_on && (isMoving() || m_value == (on ? 1 : 0)))
        return;
    m_on = on;
    if (!animated || m_animation.duration() <= 0) {
        m_animation.stop();
        jump(on ? 1 : 0);
        return;
    }
    // Turning the direction round keeps the animation's time: it goes back the way it came.
    m_animation.setDirection(on ? QAbstractAnimation::Forward : QAbstractAnimation::Backward);
    if (!isMoving())
        MotionTimeline::current().start(m_animation);
}

void ToggleMotion::jump(qreal value)
{
    m_value = value;
    Q_EMIT valueChanged(m_value);
    Q_EMIT settled(m_on);
}
