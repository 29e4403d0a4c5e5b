#pragma once

#include <QEasingCurve>
#include <QPointer>
#include <QWidget>

class QAbstractAnimation;

/// Starts the window's animations. Qt's animation timer moves them; a test puts a timeline
/// of its own in its place and moves them by hand.
class MotionTimeline {
public:
    virtual ~MotionTimeline() = default;
    /// Runs `animation` from its start (its end when it runs backward).
    virtual void start(QAbstractAnimation& animation) = 0;

    /// The timeline animations start on now.
    static MotionTimeline& current();
    /// Puts `timeline` in place of Qt's timer; nullptr puts Qt's timer back.
    static void install(MotionTimeline* timeline);
};

/// What every animation of the window shares: whether it may move at all, its curves, its springs.
namespace Motion {
/// False when the style turns widget animations off (a zero animation duration) or the
/// desktop turns general effects off; every change is then instant.
bool enabled(const QWidget* widget = nullptr);

/// Qt reports effects off wherever the platform theme states nothing about them, which is
/// no choice of the user's; there they are turned on. A theme that carries the desktop's
/// own setting (KDE's) is left as it is. Called once by the program before its window opens.
void adoptDesktopDefault();

/// The standard ease-in-out and ease-out curves (cubic Béziers 0.42/0/0.58/1 and 0/0/0.58/1).
QEasingCurve easeInOut();
QEasingCurve easeOut();

/// A graphics effect `widget` wears only while it moves, held in `worn`: put on when first
/// `needed` (unless the widget has an effect of its own, which wins), taken off when not, so
/// at rest the widget is drawn as it is. The effect to set, or nullptr.
template <class Effect>
Effect* wearEffect(QWidget* widget, QPointer<Effect>& worn, bool needed)
{
    if (!needed) {
        if (worn)
            widget->setGraphicsEffect(nullptr);
        return nullptr;
    }
    if (!worn) {
        if (widget->graphicsEffect())
            return nullptr;
        worn = new Effect(widget);
        widget->setGraphicsEffect(worn);
    }
    return worn;
}

/// A damped spring that takes `response` seconds for one swing, with `damping` as a fraction
/// of critical damping (1 = no overshoot).
struct Spring {
    double response;
    double damping;

    /// Displacement from the target and velocity (per second) `seconds` after leaving
    /// `displacement` at `velocity`.
    double displacementAt(double seconds, double displacement, double velocity) const;
    double velocityAt(double seconds, double displacement, double velocity) const;
    /// How long a unit displacement takes to come within a thousandth of its target.
    int settleMs() const;
};
} // namespace Motion
