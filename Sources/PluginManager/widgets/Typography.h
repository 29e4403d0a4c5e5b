#pragma once

#include <QFont>

/// Every text style of the window, derived from the application font so the window
/// follows the desktop's font size. The sidebar's styles scale the base size by a
/// factor; the content column's step it by points, so the two columns' styles of the
/// same role differ and are named for their column.
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

/// `font` with the given weight.
QFont withWeight(QFont font, QFont::Weight weight);
} // namespace Typography
