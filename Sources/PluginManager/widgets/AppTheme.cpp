#include "widgets/AppTheme.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <unordered_map>

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

namespace {

// What a shade is made for: the ratio asked for and a little to spare, so that rounding the
// colours to whole steps never takes a text under it.
constexpr double kSpare = 0.05;

// Steps `start` along its lightness (hue and saturation kept) until `reads` holds: toward black
// when `darken`, else toward white.
template <typename Reads>
QColor shade(const QColor& start, bool darken, Reads reads)
{
    QColor result = start;
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    result.getHslF(&hue, &saturation, &lightness);
    for (int step = 0; step < 100 && !reads(result); ++step) {
        lightness = std::clamp(lightness + (darken ? -0.01f : 0.01f), 0.0f, 1.0f);
        result = QColor::fromHslF(hue, saturation, lightness);
    }
    return result;
}

// Views ask for the same few pairs at every paint; the answers only change with the palette.
template <typename Compute>
QColor remembered(char kind, const QColor& a, const QColor& b, const QColor& c, double ratio, Compute compute)
{
    struct Key {
        char kind;
        QRgb a, b, c;
        int ratio;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const noexcept { return qHashMulti(0, k.kind, k.a, k.b, k.c, k.ratio); }
    };
    static std::unordered_map<Key, QColor, KeyHash> answers;
    const Key key{kind, a.rgba(), b.rgba(), c.rgba(), qRound(ratio * 1000)};
    if (const auto it = answers.find(key); it != answers.end())
        return it->second;
    if (answers.size() > 4096)
        answers.clear();
    const QColor answer = compute();
    answers.emplace(key, answer);
    return answer;
}

} // namespace

QColor legible(const QColor& colour, const QColor& background, double ratio)
{
    return remembered('l', colour, background, QColor(), ratio, [&] {
        const QColor ground = over(background, QColor(Qt::white));
        const QColor start = over(colour, ground);
        // Toward black on a light background, toward white on a dark one.
        if (contrastRatio(start, ground) >= ratio)
            return start;
        return shade(start, luminance(ground) > 0.18,
                     [&](const QColor& ink) { return contrastRatio(ink, ground) >= ratio + kSpare; });
    });
}

QColor groundFor(const QColor& fill, const QColor& ink, double ratio, const QColor& veil)
{
    return remembered('g', fill, ink, veil, ratio, [&] {
        const auto shown = [&](const QColor& ground) { return over(veil, ground); };
        const QColor start = over(fill, QColor(Qt::white));
        // A light ink wants a darker ground, a dark ink a lighter one.
        const bool darken = luminance(over(ink, QColor(Qt::white))) > 0.18;
        return shade(start, darken, [&](const QColor& ground) {
            const QColor seen = shown(ground);
            return contrastRatio(over(ink, seen), seen) >= ratio + kSpare;
        });
    });
}

double luminanceOf(const QColor& colour)
{
    return luminance(colour);
}

QColor readingBackground()
{
    return over(glassBg(), QGuiApplication::palette().color(QPalette::Active, QPalette::Window));
}

QColor deepBackground()
{
    return over(glassBg(), over(glassBg(), readingBackground()));
}

QColor rowBackground()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::AlternateBase);
}

QPalette legiblePalette(QPalette palette)
{
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor text = palette.color(group, QPalette::HighlightedText);
        palette.setColor(group, QPalette::Highlight, groundFor(palette.color(group, QPalette::Highlight), text));
        // A field on a glass card on the window: three washes of the foreground.
        const QColor wash = withAlpha(palette.color(group, QPalette::WindowText), 0.08);
        const QColor field = over(wash, over(wash, over(wash, palette.color(group, QPalette::Window))));
        palette.setColor(group, QPalette::PlaceholderText,
                         legible(palette.color(group, QPalette::PlaceholderText), field));
    }
    return palette;
}

} // namespace AppTheme
