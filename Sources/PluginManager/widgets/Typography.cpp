#include "widgets/Typography.h"

#include <QApplication>

#include <algorithm>

namespace {

double basePointSize()
{
    const double size = QApplication::font().pointSizeF();
    return size > 0 ? size : 10.0;
}

QFont withPointSize(double size)
{
    QFont font = QApplication::font();
    font.setPointSizeF(size);
    return font;
}

QFont scaled(double factor)
{
    return withPointSize(basePointSize() * factor);
}

// Stepping down from a small desktop font must still leave readable text.
QFont stepped(double delta)
{
    return withPointSize(std::max(6.0, basePointSize() + delta));
}

} // namespace

namespace Typography {

QFont body()
{
    return withPointSize(basePointSize());
}

QFont sidebarTitle()
{
    return withWeight(scaled(1.6), QFont::Bold);
}
QFont sidebarHeadline()
{
    return withWeight(scaled(1.0), QFont::DemiBold);
}
QFont sidebarSubheadline()
{
    return withWeight(scaled(0.92), QFont::DemiBold);
}
QFont sidebarCallout()
{
    return scaled(0.95);
}
QFont sidebarCaption()
{
    return scaled(0.85);
}
QFont sidebarCaption2()
{
    return scaled(0.8);
}

QFont listHeadline()
{
    return withWeight(stepped(1), QFont::DemiBold);
}
QFont listSubheadline()
{
    return stepped(-0.5);
}
QFont listCallout()
{
    return stepped(-0.5);
}
QFont listCaption()
{
    return stepped(-1);
}
QFont listCaption2()
{
    return stepped(-1.5);
}

QFont withWeight(QFont font, QFont::Weight weight)
{
    font.setWeight(weight);
    return font;
}

} // namespace Typography
