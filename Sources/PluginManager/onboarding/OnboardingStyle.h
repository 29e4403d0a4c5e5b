#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;
class QPushButton;
class QWidget;

/// Painting and button looks of the first-start sheet's pages. Their type sizes and colours
/// come from Typography and AppTheme.
namespace OnboardingStyle {
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
/// The colour is drawn in a shade that reads on `ground` (default: a glass card on the sheet).
void paintText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
               Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter, const QColor& ground = QColor());

/// A sample row's two lines: the name (caption, medium) over the format (caption 2, tertiary),
/// meeting at `rect`'s middle.
void paintNameAndFormat(QPainter& painter, const QRectF& rect, const QString& name, const QString& format,
                        const QColor& nameColor, const QColor& ground = QColor());

/// A purple pill with white semibold text (the sheet's main buttons).
void stylePillButton(QPushButton* button, int horizontalPadding, int verticalPadding, int radius);
/// A borderless button whose text is secondary.
void stylePlainButton(QPushButton* button);
} // namespace OnboardingStyle
