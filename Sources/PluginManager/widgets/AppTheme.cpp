#include "widgets/AppTheme.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

QColor rgb(double r, double g, double b)
{
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 1.0f);
}

// The adaptive foreground: the palette's window text, so a dark palette gives light washes.
QColor primary()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
}

} // namespace

namespace AppTheme {

QColor accentPurple()
{
    return rgb(0.6, 0.4, 0.9);
}
QColor accentBlue()
{
    return rgb(0.4, 0.6, 1.0);
}
QColor accentPink()
{
    return rgb(0.8, 0.4, 0.7);
}
QColor statusEnabled()
{
    return rgb(0.4, 0.9, 0.6);
}
QColor statusDisabled()
{
    return rgb(0.9, 0.4, 0.4);
}
QColor glassBg()
{
    return withAlpha(primary(), 0.08);
}
QColor glassBorder()
{
    return withAlpha(primary(), 0.15);
}
QColor glassGlow()
{
    return withAlpha(primary(), 0.05);
}
QColor glassShadow()
{
    return QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.3f);
}
QColor textPrimary()
{
    return primary();
}

// The secondary label shade: the foreground a little softened, still readable on the glass
// washes and tints it sits on (half strength fell short of 4.5:1 there).
QColor textSecondary()
{
    return withAlpha(primary(), 0.7);
}

QColor textTertiary()
{
    return withAlpha(primary(), 0.6);
}
QColor brandPink()
{
    return QColor(221, 72, 116);
}
QColor systemOrange()
{
    return QColor(255, 149, 0);
}
QColor systemGreen()
{
    return QColor(52, 199, 89);
}
QColor systemRed()
{
    return QColor(255, 59, 48);
}
QColor systemBlue()
{
    return QColor(0, 122, 255);
}
QColor systemGray()
{
    return QColor(142, 142, 147);
}
QColor separator()
{
    return withAlpha(primary(), 0.15);
}
QColor withAlpha(QColor colour, double opacity)
{
    // Animated opacities overshoot past 1 (springs); Qt would refuse those and keep the colour opaque.
    colour.setAlphaF(static_cast<float>(std::clamp(colour.alphaF() * opacity, 0.0, 1.0)));
    return colour;
}
QColor mix(const QColor& a, const QColor& b, double t)
{
    const auto blend = [t](float x, float y) { return static_cast<float>(x + (y - x) * t); };
    return QColor::fromRgbF(blend(a.redF(), b.redF()), blend(a.greenF(), b.greenF()), blend(a.blueF(), b.blueF()),
                            blend(a.alphaF(), b.alphaF()));
}

namespace {
double channel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}
double luminance(const QColor& colour)
{
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}
} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor over(const QColor& colour, const QColor& background)
{
    const double a = colour.alphaF();
    const auto mix = [a](double top, double bottom) { return static_cast<float>(top * a + bottom * (1 - a)); };
    return QColor::fromRgbF(mix(colour.redF(), background.redF()), mix(colour.greenF(), background.greenF()),
                            mix(colour.blueF(), background.blueF()));
}

QColor legible(const QColor& colour, const QColor& background, double ratio)
{
    const QColor ground = over(background, QColor(Qt::white));
    QColor result = over(colour, ground);
    if (contrastRatio(result, ground) >= ratio)
        return result;
    // Toward black on a light background, toward white on a dark one, in small steps of lightness.
    const bool darken = luminance(ground) > 0.18;
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    result.getHslF(&hue, &saturation, &lightness);
    for (int step = 0; step < 100 && contrastRatio(result, ground) < ratio; ++step) {
        lightness = std::clamp(lightness + (darken ? -0.01f : 0.01f), 0.0f, 1.0f);
        result = QColor::fromHslF(hue, saturation, lightness);
    }
    return result;
}

QColor readingBackground()
{
    return over(glassBg(), QGuiApplication::palette().color(QPalette::Active, QPalette::Window));
}

} // namespace AppTheme
