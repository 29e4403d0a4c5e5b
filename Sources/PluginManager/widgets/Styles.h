#pragma once

#include <QColor>
#include <QString>

class QWidget;

/// Every style sheet the views use, built here from the theme's colours so a look is
/// defined once. Views call these instead of writing style sheets inline.
namespace Styles {
/// A colour as "rgba(r, g, b, a)".
QString css(const QColor& color);
/// Plain text in one colour (labels).
QString textColor(const QColor& color);
/// A divider line: neutral grey at `alpha` (0-255).
QString divider(int alpha);
/// A text field without a background of its own; `borderless` also drops its frame.
QString transparentField(bool borderless);
/// A list without a background of its own, padded 4 px by 8 px.
QString transparentList();
/// A small icon-only button with no frame or fill (close crosses).
QString iconButton();
/// A text button in `color`.
QString textButton(const QColor& color, const QString& padding);
/// A text button in `color`, faded when disabled; `borderless` drops the frame.
QString tintedTextButton(const QColor& color, const QString& padding, bool borderless);
/// A text button in `color` on a light wash of the same colour, darker while pressed.
QString washedButton(const QColor& wash, const QColor& text);
/// A filled capsule or rounded button: `text` on `fill`, `pressed` while held.
QString filledButton(const QColor& fill, const QColor& text, int radius, const QString& padding, const QColor& pressed);
/// A filled button that turns neutral grey when disabled.
QString filledButtonGreyWhenDisabled(const QColor& fill, int radius, const QString& padding);
/// A filled button in `tint` with white text, ringed in a darker tint while focused and
/// greyed while disabled (a sheet's main action).
QString prominentButton(const QColor& tint);
/// An outlined button: `ink` text and border on a faint wash of `ink`.
QString outlinedButton(const QColor& ink);
/// A filled capsule with white semibold text, ringed in a darker `fill` while focused.
QString pillButton(const QColor& hue, int horizontalPadding, int verticalPadding, int radius);
/// A frameless button in the secondary text colour, ringed while focused.
QString plainButton();
/// A frameless text button in `color`, ringed in the palette's highlight colour while focused
/// (the ring the painted controls draw).
QString ringedTextButton(const QColor& color);
/// A flat, left-aligned checkable row with rounded hover and focus washes.
QString selectableRow();
/// A flat, left-aligned row button with a faint hover wash.
QString rowButton();
/// A flat link-like button in `color`.
QString linkButton(const QColor& color);
/// A small tag: `text` on `fill`, rounded.
QString badge(const QColor& text, const QColor& fill);
/// A rounded panel on the palette's base colour, for the widget named `objectName` of `type`.
QString wellPanel(const QString& type, const QString& objectName, bool radiusFirst);
/// Sets the text colour of a plain label or flat button through its palette (no style sheet).
void setTextColor(QWidget* widget, const QColor& color);
} // namespace Styles
