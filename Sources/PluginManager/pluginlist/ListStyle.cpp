#include "pluginlist/ListStyle.h"

#include "widgets/AppTheme.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace ListStyle {

namespace {
QFont sized(qreal delta)
{
    QFont font = QApplication::font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(qMax(6.0, base + delta));
    return font;
}
} // namespace

QFont bodyFont()
{
    return sized(0);
}
QFont calloutFont()
{
    return sized(-0.5);
}
QFont captionFont()
{
    return sized(-1);
}
QFont caption2Font()
{
    return sized(-1.5);
}
QFont headlineFont()
{
    return withWeight(sized(1), QFont::DemiBold);
}
QFont subheadlineFont()
{
    return sized(-0.5);
}

QFont withWeight(QFont font, QFont::Weight weight)
{
    font.setWeight(weight);
    return font;
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

QColor secondaryText()
{
    return AppTheme::textSecondary();
}

QColor separator()
{
    QColor color = QApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(0.15);
    return color;
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}

QColor scanExportColor()
{
    return AppTheme::brandPink();
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

} // namespace ListStyle
