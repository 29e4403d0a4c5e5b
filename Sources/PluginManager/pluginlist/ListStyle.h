#pragma once

#include <QColor>
#include <QFont>

class QWidget;

/// Fonts and system colours shared by the widgets of the content area. Text styles
/// are relative to the application font so the whole column scales together.
namespace ListStyle {
QFont bodyFont();
QFont calloutFont();
QFont captionFont();
QFont caption2Font();
QFont headlineFont();
QFont subheadlineFont();
QFont withWeight(QFont font, QFont::Weight weight);

QColor systemOrange();
QColor systemGreen();
QColor systemRed();
QColor systemBlue();
QColor systemGray();
/// The palette's secondary label colour.
QColor secondaryText();
QColor separator();
QColor withAlpha(QColor color, qreal alpha);

/// The colour of Scan and Export: the brand colour.
QColor scanExportColor();

/// Sets the text colour of a plain label or flat button through its palette.
void setTextColor(QWidget* widget, const QColor& color);
} // namespace ListStyle
