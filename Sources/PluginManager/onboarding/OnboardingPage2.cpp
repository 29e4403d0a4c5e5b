#include "onboarding/OnboardingPage2.h"

#include "onboarding/OnboardingPageShell.h"
#include "onboarding/OnboardingStyle.h"
#include "onboarding/Tween.h"
#include "widgets/AppTheme.h"
#include "widgets/Typography.h"

#include <QPainter>

namespace {

constexpr int kSecondActiveMs = 1800;
constexpr int kFirstActiveMs = 3600;
constexpr int kDefaultAnimationMs = 350;
constexpr double kActiveScale = 1.04;
constexpr double kRestingScale = 0.95;
constexpr double kCardWidth = 150;
constexpr double kCardSpacing = 14;
constexpr double kCardPadding = 12;

double cardHeight()
{
    const double header = QFontMetricsF(Typography::onboardingCaption()).height();
    const double line = QFontMetricsF(Typography::onboardingCaption2()).height();
    return 2 * kCardPadding + header + 8 + 3 * line + 2 * 3 + 8 + 2 + line;
}

} // namespace

OnboardingPage2::OnboardingPage2(OnboardingScheduler& scheduler, QWidget* parent)
    : OnboardingPage(scheduler, parent),
      m_profiles{{QStringLiteral("Mixing Session"),
                  QStringLiteral("slider.horizontal.3"),
                  AppTheme::accentBlue(),
                  {QStringLiteral("Reverb X Pro"), QStringLiteral("Vintage EQ"), QStringLiteral("Bus Compressor")}},
                 {QStringLiteral("Mastering"),
                  QStringLiteral("waveform.badge.magnifyingglass"),
                  AppTheme::accentPink(),
                  {QStringLiteral("Limiter 6"), QStringLiteral("Mid-Side EQ"), QStringLiteral("Tape Saturator")}}}
{
    m_shell = installShell([this](QPainter& painter, const QRectF& rect) { paintIllustration(painter, rect); });
    QWidget* canvas = m_shell->illustration();
    m_spotlight = new Tween(0, canvas);
    m_glowColor = new Tween(0, canvas);
    for (int i = 0; i < m_profiles.size(); ++i)
        m_cardScales.append(new Tween(i == m_activeProfile ? kActiveScale : kRestingScale, canvas));
}

QString OnboardingPage2::title() const
{
    return QStringLiteral("Profiles");
}

QString OnboardingPage2::description() const
{
    return QStringLiteral("Save your plugin setup as a profile. Switch instantly between configurations for mixing, "
                          "mastering, or different sessions.");
}

double OnboardingPage2::spotlightOpacity() const
{
    return m_spotlight->target();
}

void OnboardingPage2::onAppear()
{
    startProfileAnimation();
}

void OnboardingPage2::startProfileAnimation()
{
    if (!isInSheet())
        return;
    if (m_spotlight->target() != 1.0)
        m_spotlight->animateTo(1.0, kDefaultAnimationMs);
    later(kSecondActiveMs, [this] { setActiveProfile(1); });
    later(kFirstActiveMs, [this] { setActiveProfile(0); });
    later(kCycleMs, [this] { startProfileAnimation(); });
}

void OnboardingPage2::setActiveProfile(int index)
{
    m_activeProfile = index;
    m_glowColor->animateTo(index, 500, QEasingCurve::InOutQuad);
    for (int i = 0; i < m_cardScales.size(); ++i)
        m_cardScales.at(i)->animateTo(i == index ? kActiveScale : kRestingScale, Tween::springMs(0.5), Tween::spring());
}

void OnboardingPage2::paintIllustration(QPainter& painter, const QRectF& rect) const
{
    const QPointF centre = rect.center();
    OnboardingStyle::paintGlow(painter, QRectF(centre.x() - 90, centre.y() - 90, 180, 180), 30, glow());

    const qsizetype count = m_profiles.size();
    const double rowWidth = OnboardingStyle::rowLength(count, kCardWidth, kCardSpacing);
    const double height = cardHeight();
    for (int i = 0; i < count; ++i) {
        const QRectF card(centre.x() - rowWidth / 2 + i * (kCardWidth + kCardSpacing), centre.y() - height / 2,
                          kCardWidth, height);
        painter.save();
        const double scale = m_cardScales.at(i)->value();
        painter.translate(card.center());
        painter.scale(scale, scale);
        painter.translate(-card.center());
        paintCard(painter, card, i);
        painter.restore();
    }
}

QColor OnboardingPage2::glow() const
{
    const double t = std::clamp(m_glowColor->value(), 0.0, 1.0);
    const QColor colour = AppTheme::mix(m_profiles.at(0).color, m_profiles.at(1).color, t);
    return AppTheme::withAlpha(colour, 0.15 * m_spotlight->value());
}

void OnboardingPage2::paintCard(QPainter& painter, const QRectF& rect, int index) const
{
    using namespace OnboardingStyle;
    const SampleProfile& profile = m_profiles.at(index);
    const bool active = index == m_activeProfile;
    paintRoundedBox(painter, rect, 10, active ? AppTheme::withAlpha(profile.color, 0.1) : AppTheme::glassBg(),
                    active ? AppTheme::withAlpha(profile.color, 0.5) : AppTheme::glassBorder(), active ? 1.5 : 1.0);

    // The card's texts read on the card as it lies over the glow.
    const QColor ground = AppTheme::over(active ? AppTheme::withAlpha(profile.color, 0.1) : AppTheme::glassBg(),
                                         AppTheme::over(glow(), palette().color(QPalette::Window)));
    const QFont header = Typography::withWeight(Typography::onboardingCaption(), QFont::DemiBold);
    const double headerHeight = QFontMetricsF(header).height();
    const double lineHeight = QFontMetricsF(Typography::onboardingCaption2()).height();
    const QRectF content = rect.adjusted(kCardPadding, kCardPadding, -kCardPadding, -kCardPadding);
    double y = content.top();
    paintSymbol(painter, profile.icon, QPointF(content.left() + 6, y + headerHeight / 2), 12,
                active ? profile.color : AppTheme::textTertiary());
    paintText(painter, QRectF(content.left() + 18, y, content.width() - 18, headerHeight), profile.name, header,
              active ? AppTheme::textPrimary() : AppTheme::textTertiary(), Qt::AlignLeft | Qt::AlignVCenter, ground);
    y += headerHeight + 8;
    for (const QString& plugin : profile.plugins) {
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(active ? profile.color : AppTheme::withAlpha(AppTheme::textTertiary(), 0.5));
        painter.drawEllipse(QPointF(content.left() + 2.5, y + lineHeight / 2), 2.5, 2.5);
        painter.restore();
        paintText(painter, QRectF(content.left() + 9, y, content.width() - 9, lineHeight), plugin,
                  Typography::onboardingCaption2(),
                  active ? AppTheme::textSecondary() : AppTheme::withAlpha(AppTheme::textTertiary(), 0.6),
                  Qt::AlignLeft | Qt::AlignVCenter, ground);
        y += lineHeight + 3;
    }
    if (!active)
        return;
    y += 8 - 3 + 2;
    const QFont badge = Typography::withWeight(Typography::onboardingCaption2(), QFont::Medium);
    paintSymbol(painter, QStringLiteral("checkmark.circle.fill"), QPointF(content.left() + 5, y + lineHeight / 2), 10,
                profile.color);
    paintText(painter, QRectF(content.left() + 14, y, content.width() - 14, lineHeight), QStringLiteral("Active"),
              badge, profile.color, Qt::AlignLeft | Qt::AlignVCenter, ground);
}
