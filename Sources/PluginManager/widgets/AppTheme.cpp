#include "AppTheme.h"

#include <QGuiApplication>
#include <QPalette>

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

QColor withOpacity(QColor colour, double opacity)
{
    colour.setAlphaF(static_cast<float>(colour.alphaF() * opacity));
    return colour;
}

} // namespace

namespace AppTheme {

QColor accentPurple() { return rgb(0.6, 0.4, 0.9); }
QColor accentBlue() { return rgb(0.4, 0.6, 1.0); }
QColor accentPink() { return rgb(0.8, 0.4, 0.7); }
QColor statusEnabled() { return rgb(0.4, 0.9, 0.6); }
QColor statusDisabled() { return rgb(0.9, 0.4, 0.4); }
QColor glassBg() { return withOpacity(primary(), 0.08); }
QColor glassBorder() { return withOpacity(primary(), 0.15); }
QColor glassGlow() { return withOpacity(primary(), 0.05); }
QColor glassShadow() { return QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.3f); }
QColor textPrimary() { return primary(); }

// The secondary label shade: the foreground at half strength, as desktop toolkits draw it.
QColor textSecondary() { return withOpacity(primary(), 0.5); }

QColor textTertiary() { return withOpacity(primary(), 0.6); }
QColor brandPink() { return QColor(221, 72, 116); }

} // namespace AppTheme
