#pragma once

#include <QColor>
#include <QPalette>

/// The named colours of every view. Adaptive colours follow the application
/// palette's window text (light or dark appearance) at the time they are asked for.
namespace AppTheme {
QColor accentPurple();   // sRGB 0.6, 0.4, 0.9
QColor accentBlue();     // sRGB 0.4, 0.6, 1.0
QColor accentPink();     // sRGB 0.8, 0.4, 0.7
QColor statusEnabled();  // sRGB 0.4, 0.9, 0.6
QColor statusDisabled(); // sRGB 0.9, 0.4, 0.4
QColor glassBg();        // primary at 0.08
QColor glassBorder();    // primary at 0.15
QColor glassGlow();      // primary at 0.05
QColor glassShadow();    // black at 0.3
QColor textPrimary();    // primary
QColor textSecondary();  // secondary (primary at 0.7)
QColor textTertiary();   // primary at 0.6
/// The fixed brand colour (221, 72, 116) of the Scan/Export texts, the title gradient and the update button.
QColor brandPink();
/// The fixed status colours of the content column and its badges.
QColor systemOrange(); // 255, 149, 0
QColor systemGreen();  // 52, 199, 89
QColor systemRed();    // 255, 59, 48
QColor systemBlue();   // 0, 122, 255
QColor systemGray();   // 142, 142, 147
/// Hairlines between rows and panes: primary at 0.15.
QColor separator();
/// `colour` with its opacity multiplied by `opacity` (the product held to 0 to 1).
QColor withAlpha(QColor colour, double opacity);
/// `a` blended towards `b` by `t` (0 = a, 1 = b), alpha included.
QColor mix(const QColor& a, const QColor& b, double t);

/// The WCAG 2.1 contrast ratio of two opaque colours (1 to 21).
double contrastRatio(const QColor& a, const QColor& b);
/// `colour` drawn over `background` (alpha applied), as one opaque colour.
QColor over(const QColor& colour, const QColor& background);
/// `colour` as drawn over `background`, made just dark enough (or light enough, on a dark
/// background) to reach `ratio` against it; hue and saturation stay. 4.5 is what text needs,
/// 3 what large text and icons need.
QColor legible(const QColor& colour, const QColor& background, double ratio = 4.5);
/// The darkest ground most texts of the window sit on: the window colour under the
/// strongest glass wash (lightest, in the dark appearance).
QColor readingBackground();
/// A glass card on a glass card on the window (a field in a header): the deepest wash texts sit on.
QColor deepBackground();
/// The ground of a table's or list's rows: the palette's alternate row colour, the harder of
/// its two row colours to read on.
QColor rowBackground();
/// `fill` made just dark enough (or light enough, under a dark `ink`) that `ink`, laid over it,
/// reads at `ratio`; hue and saturation stay. For filled buttons and bands whose text colour is
/// fixed. `veil` is what lies over the fill as drawn (a glass tint), taken into account.
QColor groundFor(const QColor& fill, const QColor& ink = QColor(Qt::white), double ratio = 4.5,
                 const QColor& veil = QColor(Qt::transparent));
/// The WCAG relative luminance (0 black to 1 white) of an opaque colour.
double luminanceOf(const QColor& colour);
/// `palette` with the colours the style draws texts in made legible: the selection (its text on
/// its highlight) and placeholder texts (on the deepest field ground).
QPalette legiblePalette(QPalette palette);
} // namespace AppTheme
