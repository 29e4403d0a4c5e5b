#pragma once

#include "widgets/Motion.h"

#include <QObject>
#include <QVariantAnimation>

/// A number that springs to its targets. A new target springs from where the number is,
/// keeping its speed; without motion it jumps there.
class SpringValue final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpringValue)
public:
    SpringValue(qreal value, Motion::Spring spring, QObject* parent = nullptr);

    void setTarget(qreal target, bool animated);
    qreal value() const { return m_value; }
    qreal target() const { return m_target; }
    bool isMoving() const { return m_clock.state() != QAbstractAnimation::Stopped; }

Q_SIGNALS:
    void valueChanged(qreal value);

private:
    void setValue(qreal value);
    double seconds() const;

    Motion::Spring m_spring;
    QVariantAnimation m_clock; // seconds since the last target, linear
    qreal m_value;
    qreal m_target;
    double m_displacement = 0; // from the target, when it was set
    double m_velocity = 0;     // when it was set
};
