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

QFont withPixelSize(int pixels)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    return font;
}

// Stepping down from a small desktop font must still leave readable text.
QFont stepped(double delta)
{
    return withPointSize(std::max(6.0, basePointSize() + delta));
}

// The first-start sheet's sizes are written as points of a 13-point body text.
QFont bodyPoints(double points)
{
    return withPointSize(std::max(6.0, basePointSize() * points / 13.0));
}

} // namespace

namespace Typography {

QFont body()
{
    return withPointSize(basePointSize());
}

QFont sidebarTitle()
{
    return scaled(1.6, QFont::Bold);
}
QFont sidebarHeadline()
{
    return scaled(1.0, QFont::DemiBold);
}
QFont sidebarSubheadline()
{
    return scaled(0.92, QFont::DemiBold);
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

QFont onboardingTitle()
{
    return withWeight(bodyPoints(17), QFont::Bold);
}
QFont onboardingCallout()
{
    return bodyPoints(12);
}
QFont onboardingCaption()
{
    return bodyPoints(10.5);
}
QFont onboardingCaption2()
{
    return bodyPoints(10);
}

QFont progressTitle()
{
    return withWeight(withPixelSize(13), QFont::DemiBold);
}
QFont progressCount()
{
    QFont font = withPixelSize(11);
    font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    return font;
}
QFont progressPercent()
{
    return withWeight(progressCount(), QFont::DemiBold);
}

QFont scaled(double factor, QFont::Weight weight)
{
    return withWeight(withPointSize(basePointSize() * factor), weight);
}

QFont withWeight(QFont font, QFont::Weight weight)
{
    font.setWeight(weight);
    return font;
}

} // namespace Typography
