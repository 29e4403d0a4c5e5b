#pragma once

#include <QFont>

/// The text styles of the sidebar, scaled from the application font so the column
/// follows the desktop's font size.
namespace SidebarFonts {
QFont title2();      // large bold title
QFont headline();    // semibold, body size
QFont subheadline(); // section titles
QFont body();
QFont callout();
QFont caption();
QFont caption2();
/// `font` with the given weight.
QFont weighted(QFont font, QFont::Weight weight);
} // namespace SidebarFonts
