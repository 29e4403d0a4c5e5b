#pragma once

#include <QEasingCurve>
#include <QObject>

class QVariantAnimation;
class QWidget;

/// One animated number of a painted illustration: jumps, eases to a target, or swings
/// forever. Every change repaints the widget it belongs to.
class Tween final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tween)
public:
    Tween(double value, QWidget* owner);

    /// The value painted now.
    double value() const { return m_value; }
    /// Where the value is heading (the value itself once still).
    double target() const { return m_target; }
    bool isRunning() const;

    /// Jumps, stopping any animation.
    void set(double value);
    /// Eases from the current value to `to`.
    void animateTo(double to, int durationMs, const QEasingCurve& curve = QEasingCurve::InOutQuad);
    /// From the current value to `to` and, when `reverse`, back again; forever. Without
    /// reversal each swing starts again from the current value.
    void repeatTo(double to, int swingMs, const QEasingCurve& curve, bool reverse);

    /// Spring-like easing (a slight overshoot) and the duration a spring of `responseSeconds` settles in.
    static QEasingCurve spring();
    static int springMs(double responseSeconds);

private:
    void start(double to, int durationMs, const QEasingCurve& curve, int loops, bool reverse);
    void apply(double progress);

    QWidget* m_owner;
    QVariantAnimation* m_animation;
    QEasingCurve m_curve;
    double m_value;
    double m_from;
    double m_target;
    bool m_reverse = false;
};
