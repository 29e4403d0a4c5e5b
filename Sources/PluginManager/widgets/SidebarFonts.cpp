#include "widgets/SidebarFonts.h"

#include <QApplication>

namespace {

QFont scaled(double factor)
{
    QFont font = QApplication::font();
    const double base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(base * factor);
    return font;
}

} // namespace

namespace SidebarFonts {

QFont title2()
{
    return weighted(scaled(1.6), QFont::Bold);
}
QFont headline()
{
    return weighted(scaled(1.0), QFont::DemiBold);
}
QFont subheadline()
{
    return weighted(scaled(0.92), QFont::DemiBold);
}
QFont body()
{
    return scaled(1.0);
}
QFont callout()
{
    return scaled(0.95);
}
QFont caption()
{
    return scaled(0.85);
}
QFont caption2()
{
    return scaled(0.8);
}

QFont weighted(QFont font, QFont::Weight weight)
{
    font.setWeight(weight);
    return font;
}

} // namespace SidebarFonts
