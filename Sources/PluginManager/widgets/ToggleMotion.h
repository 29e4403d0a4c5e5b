#pragma once

#include <QObject>
#include <QVariantAnimation>

class QEasingCurve;

/// An eased value between two states, 0 (off) and 1 (on). Asked the other way while it
/// moves, it turns back from where it is, taking as long as it took to get there; asked
/// without motion, it jumps.
class ToggleMotion final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToggleMotion)
public:
    ToggleMotion(int durationMs, const QEasingCurve& curve, bool on, QObject* parent = nullptr);

    void setOn(bool on, bool animated);
    /// The state it rests in or heads for.
    bool isOn() const { return m_on; }
    /// Where it is now: 0 off, 1 on.
    qreal value() const { return m_value; }
    bool isMoving() const { return m_animation.state() != QAbstractAnimation::Stopped; }
    int durationMs() const { return m_animation.duration(); }

Q_SIGNALS:
    void valueChanged(qreal value);
    /// It came to rest at `on`'s end, moving or not.
    void settled(bool on);

private:
    void jump(qreal value);

    QVariantAnimation m_animation;
    qreal m_value;
    bool m_on;
};
