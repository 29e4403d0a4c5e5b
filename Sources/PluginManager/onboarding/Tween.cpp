#include "onboarding/Tween.h"

#include <QVariantAnimation>
#include <QWidget>

Tween::Tween(double value, QWidget* owner)
    : QObject(owner), m_owner(owner), m_animation(new QVariantAnimation(this)), m_value(value), m_from(value),
      m_target(value)
{
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& progress) { apply(progress.toDouble()); });
}

bool Tween::isRunning() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void Tween::set(double value)
{
    m_animation->stop();
    m_from = m_target = m_value = value;
    m_owner->update();
}

void Tween::animateTo(double to, int durationMs, const QEasingCurve& curve)
{
    start(to, durationMs, curve, 1, false);
}

void Tween::repeatTo(double to, int swingMs, const QEasingCurve& curve, bool reverse)
{
    // A reversing swing runs there and back in one loop of twice the length.
    start(to, reverse ? swingMs * 2 : swingMs, curve, -1, reverse);
}

void Tween::start(double to, int durationMs, const QEasingCurve& curve, int loops, bool reverse)
{
    m_animation->stop();
    m_from = m_value;
    m_target = to;
    m_curve = curve;
    m_reverse = reverse;
    if (durationMs <= 0) {
        set(to);
        return;
    }
    m_animation->setDuration(durationMs);
    m_animation->setLoopCount(loops);
    m_animation->start();
}

void Tween::apply(double progress)
{
    // The animation itself runs linearly; the curve shapes each swing on its own.
    double p = progress;
    if (m_reverse)
        p = p <= 0.5 ? p * 2.0 : (1.0 - p) * 2.0;
    m_value = m_from + (m_target - m_from) * m_curve.valueForProgress(p);
    m_owner->update();
}

QEasingCurve Tween::spring()
{
    QEasingCurve curve(QEasingCurve::OutBack);
    curve.setOvershoot(1.0);
    return curve;
}

int Tween::springMs(double responseSeconds)
{
    return static_cast<int>(responseSeconds * 1600.0);
}
