#include "onboarding/OnboardingPage4.h"

#include "onboarding/OnboardingPageShell.h"
#include "onboarding/OnboardingStyle.h"
#include "onboarding/Tween.h"
#include "widgets/AppTheme.h"

#include <QPainter>

namespace {

constexpr double kPulseOpacity = 0.6;
constexpr double kPulseGrowth = 0.4;
constexpr int kPulseMs = 1600;
constexpr int kRingDelayMs = 350;
constexpr int kFadeInMs = 500;
constexpr int kFadeOutMs = 1700;
constexpr double kFileTravel = 40;
constexpr double kFileDrop = 52;

} // namespace

OnboardingPage4::OnboardingPage4(OnboardingScheduler& scheduler, QWidget* parent) : OnboardingPage(scheduler, parent)
{
    m_shell = installShell([this](QPainter& painter, const QRectF& rect) { paintIllustration(painter, rect); });
    QWidget* canvas = m_shell->illustration();
    for (int i = 0; i < kRingCount; ++i)
        m_rings.append(new Tween(0, canvas));
    m_fileOffset = new Tween(0, canvas);
    m_fileOpacity = new Tween(1, canvas);
}

QString OnboardingPage4::title() const
{
    return QStringLiteral("You're in Control");
}

QString OnboardingPage4::description() const
{
    return QStringLiteral(
        "Nothing is permanently deleted unless you choose it. Rackhand just moves files — your plugins "
        "are always safe and recoverable.");
}

double OnboardingPage4::fileOffset() const
{
    return m_fileOffset->target();
}

double OnboardingPage4::fileOpacity() const
{
    return m_fileOpacity->target();
}

bool OnboardingPage4::isRingPulsing(int index) const
{
    return m_rings.value(index) && m_rings.at(index)->isRunning();
}

double OnboardingPage4::ringBaseOpacity(int index)
{
    return kPulseOpacity / (index + 1);
}

void OnboardingPage4::onAppear()
{
    // The rings grow and fade, then start again from their first size, each a little later.
    for (int i = 0; i < kRingCount; ++i) {
        later(i * kRingDelayMs, [this, i] {
            if (!m_rings.at(i)->isRunning())
                m_rings.at(i)->repeatTo(1, kPulseMs, QEasingCurve::OutQuad, false);
        });
    }
    animateFile();
}

void OnboardingPage4::animateFile()
{
    if (!isInSheet())
        return;
    m_fileOffset->set(-kFileTravel);
    m_fileOpacity->set(0);
    later(kFadeInMs, [this] {
        m_fileOpacity->animateTo(1, 300, QEasingCurve::InQuad);
        m_fileOffset->animateTo(kFileTravel, 1200, QEasingCurve::InOutQuad);
    });
    later(kFadeOutMs, [this] { m_fileOpacity->animateTo(0, 300, QEasingCurve::OutQuad); });
    later(kPassMs, [this] { animateFile(); });
}

void OnboardingPage4::paintIllustration(QPainter& painter, const QRectF& rect) const
{
    using namespace OnboardingStyle;
    const QPointF centre = rect.center();
    painter.save();
    for (int i = 0; i < kRingCount; ++i) {
        const double pulse = m_rings.at(i)->value();
        const double radius = (60 + 28 * i) / 2.0 * (1 + kPulseGrowth * pulse);
        painter.setPen(QPen(AppTheme::withAlpha(AppTheme::accentPurple(), ringBaseOpacity(i) * (1 - pulse)), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, radius, radius);
    }
    painter.restore();
    paintSymbolGradient(painter, QStringLiteral("checkmark.shield.fill"), centre, 60, AppTheme::accentPurple(),
                        AppTheme::accentBlue());

    // The file group: a document, an arrow and a folder, sliding left to right below the shield.
    painter.save();
    painter.setOpacity(std::clamp(m_fileOpacity->value(), 0.0, 1.0));
    const QPointF group = centre + QPointF(m_fileOffset->value(), kFileDrop);
    paintSymbol(painter, QStringLiteral("doc.fill"), group - QPointF(18, 0), 13,
                AppTheme::withAlpha(AppTheme::accentBlue(), 0.8));
    paintSymbol(painter, QStringLiteral("arrow.right"), group, 10, AppTheme::textTertiary());
    paintSymbol(painter, QStringLiteral("folder.fill.badge.checkmark"), group + QPointF(18, 0), 13,
                AppTheme::withAlpha(AppTheme::accentPurple(), 0.8));
    painter.restore();
}
