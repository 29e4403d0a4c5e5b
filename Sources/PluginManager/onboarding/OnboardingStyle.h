#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;
class QPushButton;
class QWidget;

/// Text styles, system colours and symbol painting of the onboarding pages. Sizes follow
/// the application font, with the desktop's body text standing for 13 points.
namespace OnboardingStyle {
QFont title2();
QFont callout();
QFont caption();
QFont caption2();
/// A fixed symbol or text size given in body-relative points (13 = body text).
QFont sized(double points, QFont::Weight weight = QFont::Normal);
QFont weighted(QFont font, QFont::Weight weight);

QColor green();
QColor red();
QColor withAlpha(QColor color, double alpha);
/// `a` blended towards `b` by `t` (0 = a, 1 = b), alpha included.
QColor mix(const QColor& a, const QColor& b, double t);

/// The symbol, `size` pixels square, centred on `centre`, in one colour.
void paintSymbol(QPainter& painter, const QString& symbol, const QPointF& centre, double size, const QColor& color);
/// The same, filled with a gradient from `from` (top-leading) to `to` (bottom-trailing).
void paintSymbolGradient(QPainter& painter, const QString& symbol, const QPointF& centre, double size,
                         const QColor& from, const QColor& to);

/// How long a row of `count` items of `item` points with `gap` points between them is.
double rowLength(qsizetype count, double item, double gap);

/// A rounded rectangle filled with `fill` and outlined with `stroke` inside `rect`.
void paintRoundedBox(QPainter& painter, const QRectF& rect, double radius, const QColor& fill, const QColor& stroke,
                     double strokeWidth = 1.0);
/// A soft ellipse: `color` fading out over `blur` pixels beyond `rect` (a blurred shape).
void paintGlow(QPainter& painter, const QRectF& rect, double blur, const QColor& color);
/// One line of text, elided to `rect`'s width.
void paintText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
               Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

/// A sample row's two lines: the name (caption, medium) over the format (caption 2, tertiary),
/// meeting at `rect`'s middle.
void paintNameAndFormat(QPainter& painter, const QRectF& rect, const QString& name, const QString& format,
                        const QColor& nameColor);

/// A purple pill with white semibold text (the sheet's main buttons).
void stylePillButton(QPushButton* button, int horizontalPadding, int verticalPadding, int radius);
/// A borderless button whose text is secondary.
void stylePlainButton(QPushButton* button);
} // namespace OnboardingStyle
