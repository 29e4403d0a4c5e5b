#include "onboarding/OnboardingPage0.h"

#include "onboarding/OnboardingPageShell.h"
#include "onboarding/OnboardingStyle.h"
#include "onboarding/Tween.h"
#include "widgets/AppTheme.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace {

constexpr double kBarWidth = 8;
constexpr double kBarSpacing = 4;
constexpr double kBarRadius = 3;
constexpr double kBarOpacity = 0.85;
constexpr double kGlowRest = 0.06;
constexpr double kGlowRaised = 0.12;
constexpr int kGlowSwingMs = 1800;

} // namespace

OnboardingPage0::OnboardingPage0(OnboardingScheduler& scheduler, QWidget* parent)
    : OnboardingPage(scheduler, parent), m_colors{AppTheme::accentPurple(), AppTheme::accentBlue(),
                                                  AppTheme::accentPink()}
{
    m_shell = installShell([this](QPainter& painter, const QRectF& rect) { paintIllustration(painter, rect); });
    m_glow = new Tween(kGlowRest, m_shell->illustration());
    for (int i = 0; i < kBarCount; ++i)
        m_bars.append(new Tween(barHeight(i, kBarCount, false), m_shell->illustration()));
}

QString OnboardingPage0::title() const
{
    return QStringLiteral("Welcome to Rackhand");
}

QString OnboardingPage0::description() const
{
    return QStringLiteral("The all-in-one audio plugin manager for macOS. Scan, organize, and control every AU, VST, "
                          "VST3, AAX, and CLAP plugin on your system.");
}

double OnboardingPage0::barHeight(int index, int count, bool raised)
{
    if (count <= 0)
        return 0;
    const double t = static_cast<double>(index) / static_cast<double>(count);
    if (raised)
        return std::abs(std::sin(t * std::numbers::pi * 2.5 + 1.0)) * 60.0 + 20.0;
    return std::abs(std::sin(t * std::numbers::pi)) * 20.0 + 6.0;
}

int OnboardingPage0::swingMs(int index)
{
    return (index % 5) * 150 + 700;
}

int OnboardingPage0::startDelayMs(int index)
{
    return index * 60;
}

double OnboardingPage0::currentBarHeight(int index) const
{
    return m_bars.value(index) ? m_bars.at(index)->value() : 0.0;
}

bool OnboardingPage0::isBarSwinging(int index) const
{
    return m_bars.value(index) && m_bars.at(index)->isRunning();
}

double OnboardingPage0::glowOpacity() const
{
    return m_glow->value();
}

void OnboardingPage0::onAppear()
{
    if (m_animate)
        return; // the wave, once started, runs on
    m_animate = true;
    m_glow->repeatTo(kGlowRaised, kGlowSwingMs, QEasingCurve::InOutSine, true);
    for (int i = 0; i < kBarCount; ++i) {
        later(startDelayMs(i), [this, i] {
            m_bars.at(i)->repeatTo(barHeight(i, kBarCount, true), swingMs(i), QEasingCurve::InOutSine, true);
        });
    }
}

void OnboardingPage0::paintIllustration(QPainter& painter, const QRectF& rect) const
{
    const QPointF centre = rect.center();
    OnboardingStyle::paintGlow(painter, QRectF(centre.x() - 130, centre.y() - 40, 260, 80), 24,
                               AppTheme::withAlpha(AppTheme::accentPurple(), m_glow->value()));
    const double rowWidth = OnboardingStyle::rowLength(kBarCount, kBarWidth, kBarSpacing);
    double x = centre.x() - rowWidth / 2.0;
    for (int i = 0; i < kBarCount; ++i) {
        const double height = m_bars.at(i)->value();
        const QColor color = AppTheme::withAlpha(m_colors.at(i % m_colors.size()), kBarOpacity);
        OnboardingStyle::paintRoundedBox(painter, QRectF(x, centre.y() - height / 2.0, kBarWidth, height), kBarRadius,
                                         color, Qt::transparent, 0);
        x += kBarWidth + kBarSpacing;
    }
}
