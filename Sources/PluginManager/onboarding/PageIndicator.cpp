#include "onboarding/PageIndicator.h"

#include "onboarding/OnboardingStyle.h"
#include "onboarding/Tween.h"
#include "widgets/AppTheme.h"

#include <QPainter>

namespace {

constexpr double kDotHeight = 6;
constexpr double kDotWidth = 6;
constexpr double kCurrentWidth = 18;
constexpr double kSpacing = 8;

} // namespace

PageIndicator::PageIndicator(int count, int current, QWidget* parent) : QWidget(parent), m_current(current)
{
    for (int i = 0; i < std::max(0, count); ++i)
        m_widths.append(new Tween(i == current ? kCurrentWidth : kDotWidth, this));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateAccessibleName();
}

void PageIndicator::setCurrent(int index)
{
    if (index == m_current)
        return;
    m_current = index;
    for (int i = 0; i < m_widths.size(); ++i)
        m_widths.at(i)->animateTo(i == index ? kCurrentWidth : kDotWidth, Tween::springMs(0.3), Tween::spring());
    updateAccessibleName();
    update();
}

double PageIndicator::dotWidth(int index) const
{
    return m_widths.value(index) ? m_widths.at(index)->target() : 0.0;
}

QSize PageIndicator::sizeHint() const
{
    const qsizetype n = m_widths.size();
    const double width = n > 0 ? kCurrentWidth - kDotWidth + OnboardingStyle::rowLength(n, kDotWidth, kSpacing) : 0;
    return {static_cast<int>(std::ceil(width)) + 2, static_cast<int>(kDotHeight)};
}

void PageIndicator::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    double total = 0;
    for (const Tween* width : std::as_const(m_widths))
        total += width->value();
    total += OnboardingStyle::rowLength(m_widths.size(), 0, kSpacing);
    double x = (width() - total) / 2.0;
    const double y = (height() - kDotHeight) / 2.0;
    for (int i = 0; i < m_widths.size(); ++i) {
        const double w = m_widths.at(i)->value();
        const QColor color =
            i == m_current ? AppTheme::accentPurple() : AppTheme::withAlpha(AppTheme::textTertiary(), 0.35);
        OnboardingStyle::paintRoundedBox(painter, QRectF(x, y, w, kDotHeight), kDotHeight / 2, color, Qt::transparent,
                                         0);
        x += w + kSpacing;
    }
}

void PageIndicator::updateAccessibleName()
{
    setAccessibleName(QStringLiteral("Page %1 of %2").arg(m_current + 1).arg(m_widths.size()));
}
