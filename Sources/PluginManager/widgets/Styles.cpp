#include "widgets/Styles.h"

#include "widgets/AppTheme.h"

#include <QPalette>
#include <QWidget>

namespace Styles {

QString css(const QColor& color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

QString textColor(const QColor& color)
{
    return QStringLiteral("color: %1;").arg(css(color));
}

QString divider(int alpha)
{
    return QStringLiteral("color: rgba(127,127,127,%1);").arg(alpha);
}

QString transparentField(bool borderless)
{
    return borderless ? QStringLiteral("QLineEdit { background: transparent; border: none; }")
                      : QStringLiteral("QLineEdit { background: transparent; }");
}

QString transparentList()
{
    return QStringLiteral("QListView { background: transparent; padding: 4px 8px; }");
}

QString iconButton()
{
    return QStringLiteral("QPushButton { border: none; background: transparent; padding: 2px; }");
}

QString textButton(const QColor& color, const QString& padding)
{
    return QStringLiteral("QPushButton { color: %1; padding: %2; }")
        .arg(AppTheme::legible(color, AppTheme::readingBackground()).name(), padding);
}

QString tintedTextButton(const QColor& color, const QString& padding, bool borderless)
{
    // A borderless button has no frame to show the keyboard's focus, so it underlines instead.
    return QStringLiteral("QPushButton { color: %1;%2 padding: %3; }%7"
                          "QPushButton:disabled { color: rgba(%4, %5, %6, 90); }")
        .arg(color.name(), borderless ? QStringLiteral(" border: none;") : QString(), padding)
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(borderless ? QStringLiteral("QPushButton:focus { text-decoration: underline; }") : QString());
}

QString washedButton(const QColor& wash, const QColor& text)
{
    return QStringLiteral("QPushButton { color: %1; background: rgba(%2, %3, %4, 26); border: none; border-radius: 4px;"
                          " padding: 3px 8px; }"
                          "QPushButton:focus { text-decoration: underline; }"
                          "QPushButton:pressed { background: rgba(%2, %3, %4, 60); }")
        .arg(text.name())
        .arg(wash.red())
        .arg(wash.green())
        .arg(wash.blue());
}

QString filledButton(const QColor& fill, const QColor& text, int radius, const QString& padding, const QColor& pressed)
{
    // Of the two colours the darker one gives way, so both keep their hue and the text reads.
    const bool lightText =
        AppTheme::luminanceOf(AppTheme::over(text, Qt::white)) > AppTheme::luminanceOf(AppTheme::over(fill, Qt::white));
    const QColor ground = lightText ? AppTheme::groundFor(fill, text) : fill;
    const QColor ink = lightText ? text : AppTheme::legible(text, fill);
    return QStringLiteral("QPushButton { color: %1; background: %2; border: none; border-radius: %3px; padding: %4; }"
                          "QPushButton:pressed { background: %5; }")
        .arg(css(ink), css(ground))
        .arg(radius)
        .arg(padding, css(lightText ? AppTheme::groundFor(pressed, text, 5.5) : pressed));
}

QString filledButtonGreyWhenDisabled(const QColor& fill, int radius, const QString& padding)
{
    return QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: %2px;"
                          " padding: %3; }"
                          "QPushButton:disabled { background: rgba(127, 127, 127, 60);"
                          " color: rgba(127, 127, 127, 200); }")
        .arg(css(AppTheme::groundFor(fill)))
        .arg(radius)
        .arg(padding);
}

QString prominentButton(const QColor& tint)
{
    // As in pillButton: the ring is always there (transparent) and the style draws no focus
    // frame over the label, so focus takes nothing from the text.
    return QStringLiteral("QPushButton { background: %1; color: white; border: 2px solid transparent;"
                          " border-radius: 6px; padding: 3px 12px; outline: none; }"
                          "QPushButton:focus { border-color: %2; }"
                          "QPushButton:pressed { background: %3; }"
                          "QPushButton:disabled { background: %4; color: %5; }")
        .arg(css(AppTheme::groundFor(tint)), css(AppTheme::groundFor(tint).darker(160)),
             css(AppTheme::groundFor(tint).darker(120)), css(AppTheme::withAlpha(AppTheme::textSecondary(), 0.25)),
             css(AppTheme::withAlpha(AppTheme::textPrimary(), 0.5)));
}

QString outlinedButton(const QColor& ink)
{
    return QStringLiteral("QPushButton { color: %1; background: %2; border: 1px solid %3;"
                          " border-radius: 5px; padding: 3px 9px; }"
                          "QPushButton:focus { border: 2px solid %1; }"
                          "QPushButton:pressed { background: %3; }")
        .arg(css(AppTheme::legible(ink, AppTheme::over(AppTheme::withAlpha(ink, 0.10), AppTheme::readingBackground()))),
             css(AppTheme::withAlpha(ink, 0.10)), css(AppTheme::withAlpha(ink, 0.30)));
}

QString pillButton(const QColor& hue, int horizontalPadding, int verticalPadding, int radius)
{
    // The hue stays; its shade is dark enough for the white text.
    const QColor fill = AppTheme::groundFor(hue);
    // The 2 px ring is always there (transparent) so focusing the button does not move its text.
    return QStringLiteral("QPushButton { background: %1; color: white; border: 2px solid transparent; "
                          "border-radius: %2px; padding: %3px %4px; font-weight: 600; outline: none; }"
                          "QPushButton:pressed { background: %5; }"
                          "QPushButton:focus { border-color: %6; }")
        .arg(css(fill))
        .arg(radius)
        .arg(verticalPadding - 2)
        .arg(horizontalPadding - 2)
        .arg(css(fill.darker(115)))
        .arg(css(fill.darker(170)));
}

QString plainButton()
{
    return QStringLiteral("QPushButton { color: %1; border: 2px solid transparent; "
                          "border-radius: 6px; padding: 4px 8px; background: transparent; outline: none; }"
                          "QPushButton:focus { border-color: %2; }")
        .arg(css(AppTheme::textSecondary()), css(AppTheme::glassBorder()));
}

QString ringedTextButton(const QColor& color)
{
    // The ring is always there (transparent) so focusing the button does not move its label.
    return QStringLiteral("QPushButton { color: %1; border: 2px solid transparent; border-radius: 6px;"
                          " padding: 2px 4px; background: transparent; outline: none; }"
                          "QPushButton:focus { border-color: palette(highlight); }")
        .arg(css(color));
}

QString selectableRow()
{
    return QStringLiteral("QPushButton { border: none; background: transparent; text-align: left;"
                          " border-radius: 5px; }"
                          "QPushButton:hover { background: rgba(127, 127, 127, 20); }"
                          "QPushButton:focus { background: rgba(127, 127, 127, 40); }");
}

QString rowButton()
{
    return QStringLiteral("QPushButton { border: none; background: transparent; text-align: left; }"
                          "QPushButton:hover { background: rgba(127, 127, 127, 20); }");
}

QString linkButton(const QColor& color)
{
    return QStringLiteral("QPushButton { border: none; background: transparent; color: %1; }")
        .arg(css(AppTheme::legible(color, AppTheme::readingBackground())));
}

QString badge(const QColor& text, const QColor& fill)
{
    return QStringLiteral("color: %1; background: %2; border-radius: 4px; padding: 2px 6px;")
        .arg(css(AppTheme::legible(text, AppTheme::over(fill, AppTheme::readingBackground()))), css(fill));
}

QString wellPanel(const QString& type, const QString& objectName, bool radiusFirst)
{
    const QString body = radiusFirst ? QStringLiteral("border-radius: 8px; background: palette(base);")
                                     : QStringLiteral("background: palette(base); border-radius: 8px;");
    return QStringLiteral("%1#%2 { %3 }").arg(type, objectName, body);
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

} // namespace Styles
