#pragma once

#include <QFont>

/// Every text style of the window, derived from the application font so the window
/// follows the desktop's font size. The sidebar's styles scale the base size by a
/// factor; the content column's step it by points; the first-start sheet's are given in
/// points with body text standing for 13. So styles of the same role differ between
/// these places and are named for the place they serve.
namespace Typography {
/// The application font: body text of both columns.
QFont body();

/// The sidebar's large bold title.
QFont sidebarTitle();
/// Semibold, body size.
QFont sidebarHeadline();
/// Semibold section titles.
QFont sidebarSubheadline();
QFont sidebarCallout();
QFont sidebarCaption();
QFont sidebarCaption2();

/// Semibold, a point above body.
QFont listHeadline();
QFont listSubheadline();
QFont listCallout();
QFont listCaption();
QFont listCaption2();

/// The first-start sheet's page titles: 17 points of 13, bold.
QFont onboardingTitle();
/// 12 points of 13: page texts and the access button.
QFont onboardingCallout();
/// 10.5 points of 13: names in the pictures.
QFont onboardingCaption();
/// 10 points of 13: formats in the pictures and the access hint.
QFont onboardingCaption2();

/// The progress card's texts, in pixels: the card has a fixed size, so its texts do not
/// follow the desktop's font size. 13 pixels, semibold: the title.
QFont progressTitle();
/// 11 pixels, monospaced where the family has such a face: the count line.
QFont progressCount();
/// The count line's face, semibold: the percentage.
QFont progressPercent();

/// The application font at `factor` times its size, for sheet and banner texts with no
/// role of their own above.
QFont scaled(double factor, QFont::Weight weight = QFont::Normal);

/// `font` with the given weight.
QFont withWeight(QFont font, QFont::Weight weight);
} // namespace Typography
