#include "widgets/Motion.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QStyle>
#include <QWidget>

#include <cmath>
#include <numbers>

namespace {

class QtTimeline final : public MotionTimeline {
public:
    void start(QAbstractAnimation& animation) override { animation.start(); }
};

MotionTimeline*& installed()
{
    static MotionTimeline* timeline = nullptr;
    return timeline;
}

QEasingCurve bezier(double x1, double y1, double x2, double y2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1, 1));
    return curve;
}

} // namespace

MotionTimeline& MotionTimeline::current()
{
    static QtTimeline qt;
    MotionTimeline* timeline = installed();
    return timeline ? *timeline : qt;
}

void MotionTimeline::install(MotionTimeline* timeline)
{
    installed() = timeline;
}

namespace Motion {

bool enabled(const QWidget* widget)
{
    if (!QApplication::isEffectEnabled(Qt::UI_General))
        return false;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    return style && style->styleHint(QStyle::SH_Widget_Animation_Duration, nullptr, widget) > 0;
}

void adoptDesktopDefault()
{
    if (QApplication::isEffectEnabled(Qt::UI_General))
        return;
    if (qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("KDE"), Qt::CaseInsensitive))
        return;
    QApplication::setEffectEnabled(Qt::UI_General, true);
}

QEasingCurve easeInOut()
{
    return bezier(0.42, 0, 0.58, 1);
}

QEasingCurve easeOut()
{
    return bezier(0, 0, 0.58, 1);
}

// Underdamped: x(t) = e^(-at) (x0 cos wt + (v0 + a x0) / w sin wt), a = damping * w0, w the
// damped frequency. At critical damping and above: x(t) = e^(-w0 t) (x0 + (v0 + w0 x0) t).

double Spring::displacementAt(double seconds, double displacement, double velocity) const
{
    const double w0 = 2 * std::numbers::pi / response;
    if (damping >= 1)
        return std::exp(-w0 * seconds) * (displacement + (velocity + w0 * displacement) * seconds);
    const double a = damping * w0;
    const double w = w0 * std::sqrt(1 - damping * damping);
    const double b = (velocity + a * displacement) / w;
    return std::exp(-a * seconds) * (displacement * std::cos(w * seconds) + b * std::sin(w * seconds));
}

double Spring::velocityAt(double seconds, double displacement, double velocity) const
{
    const double w0 = 2 * std::numbers::pi / response;
    if (damping >= 1)
        return std::exp(-w0 * seconds) * (velocity - w0 * (velocity + w0 * displacement) * seconds);
    const double a = damping * w0;
    const double w = w0 * std::sqrt(1 - damping * damping);
    const double b = (velocity + a * displacement) / w;
    return std::exp(-a * seconds) *
           (velocity * std::cos(w * seconds) - (a * b + w * displacement) * std::sin(w * seconds));
}

int Spring::settleMs() const
{
    const double w0 = 2 * std::numbers::pi / response;
    if (damping >= 1)
        return static_cast<int>(std::ceil(9.3 / w0 * 1000)); // e^(-x)(1 + x) < 0.001 from x = 9.23
    const double a = damping * w0;
    const double amplitude = 1 / std::sqrt(1 - damping * damping);
    return static_cast<int>(std::ceil(std::log(1000 * amplitude) / a * 1000));
}

} // namespace Motion
