#include "onboarding/OnboardingPage5.h"

#include "Platform/DiskAccessProbe.h"
#include "Platform/Workspace.h"
#include "onboarding/OnboardingPageShell.h"
#include "onboarding/OnboardingStyle.h"
#include "onboarding/Tween.h"
#include "widgets/AppTheme.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kIllustrationHeight = 160;
constexpr int kIllustrationTop = 24;
constexpr double kGlowPulse = 1.12;
constexpr int kGlowSwingMs = 1600;
constexpr double kGlowDiameter = 110;
constexpr int kDefaultAnimationMs = 350;

const auto kSettingsAddress =
    QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");

} // namespace

OnboardingPage5::OnboardingPage5(OnboardingScheduler& scheduler, std::shared_ptr<DiskAccessProbe> probe,
                                 std::shared_ptr<Workspace> workspace, QWidget* parent)
    : OnboardingPage(scheduler, parent), m_probe(std::move(probe)), m_workspace(std::move(workspace))
{
    m_hasAccess = testAccess();
    m_illustration = new IllustrationCanvas(
        [this](QPainter& painter, const QRectF& rect) { paintIllustration(painter, rect); }, kIllustrationHeight, this);
    m_glowScale = new Tween(1.0, m_illustration);
    m_checkScale = new Tween(0.5, m_illustration);
    m_checkOpacity = new Tween(0.0, m_illustration);
    m_title = OnboardingPageShell::makeTitle(title(), this);
    m_description = OnboardingPageShell::makeDescription(description(), this);

    m_settingsButton = new QPushButton(QStringLiteral("Open System Settings"), this);
    m_settingsButton->setIcon(SymbolIcons::tinted(QStringLiteral("gear"), Qt::white));
    m_settingsButton->setFont(Typography::withWeight(Typography::onboardingCallout(), QFont::DemiBold));
    m_settingsButton->setAccessibleName(m_settingsButton->text());
    OnboardingStyle::stylePillButton(m_settingsButton, 20, 9, 9);
    connect(m_settingsButton, &QPushButton::clicked, this, &OnboardingPage5::openSettings);

    m_hint = new QLabel(QStringLiteral("Privacy & Security → Full Disk Access → enable Rackhand"), this);
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setAlignment(Qt::AlignHCenter);
    m_hint->setFont(Typography::onboardingCaption2());
    QPalette hintPalette = m_hint->palette();
    hintPalette.setColor(QPalette::WindowText, AppTheme::textTertiary());
    m_hint->setPalette(hintPalette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kIllustrationTop, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_illustration);
    layout->addSpacing(16);
    layout->addWidget(m_title);
    layout->addSpacing(10);
    layout->addWidget(m_description);
    layout->addSpacing(18);
    layout->addWidget(m_settingsButton, 0, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addWidget(m_hint);
    layout->addStretch(1);
    showState();
}

QString OnboardingPage5::title() const
{
    return m_hasAccess ? QStringLiteral("You're All Set!") : QStringLiteral("One Permission Needed");
}

QString OnboardingPage5::description() const
{
    return m_hasAccess
               ? QStringLiteral("Full Disk Access granted. Rackhand can now manage your plugins freely.")
               : QStringLiteral(
                     "Rackhand needs Full Disk Access to enable, disable, and delete plugins in system folders.");
}

QUrl OnboardingPage5::settingsUrl()
{
    return QUrl(kSettingsAddress, QUrl::StrictMode);
}

void OnboardingPage5::openSettings()
{
    const QUrl url = settingsUrl();
    if (!url.isValid() || !m_workspace)
        return;
    // Where no handler knows the address the desktop says no; there is nothing else to try.
    m_workspace->openUrl(url);
}

bool OnboardingPage5::testAccess() const
{
    // Without a probe nothing can be known: that is missing access, never a grant.
    return m_probe && m_probe->hasAccess();
}

void OnboardingPage5::onAppear()
{
    const bool granted = testAccess();
    if (granted) {
        m_checkScale->set(1.0);
        m_checkOpacity->set(1.0);
    }
    if (granted != m_hasAccess) {
        m_hasAccess = granted;
        showState();
    }
    // The glow grows once when access is there, and pulses while it is missing.
    if (m_hasAccess)
        m_glowScale->animateTo(kGlowPulse, kDefaultAnimationMs);
    else
        m_glowScale->repeatTo(kGlowPulse, kGlowSwingMs, QEasingCurve::InOutSine, true);
    scheduleRecheck();
}

void OnboardingPage5::scheduleRecheck()
{
    later(kRecheckMs, [this] {
        const bool granted = testAccess();
        if (granted != m_hasAccess)
            setHasAccess(granted);
        scheduleRecheck();
    });
}

void OnboardingPage5::setHasAccess(bool granted)
{
    m_hasAccess = granted;
    if (granted) {
        const int springMs = Tween::springMs(0.4);
        m_checkScale->animateTo(1.0, springMs, Tween::spring());
        m_checkOpacity->animateTo(1.0, springMs, Tween::spring());
        m_glowScale->animateTo(1.0, springMs, Tween::spring());
    }
    showState();
}

void OnboardingPage5::showState()
{
    m_title->setText(title());
    m_description->setText(description());
    const bool hadKeyboard = m_settingsButton->hasFocus();
    m_settingsButton->setVisible(!m_hasAccess);
    m_hint->setVisible(!m_hasAccess);
    m_illustration->update();
    Q_EMIT accessShown();
    if (hadKeyboard && m_settingsButton->isHidden())
        Q_EMIT keyboardReleased();
}

void OnboardingPage5::paintIllustration(QPainter& painter, const QRectF& rect) const
{
    using namespace OnboardingStyle;
    const QPointF centre = rect.center();
    const double glowRadius = kGlowDiameter / 2.0 * m_glowScale->value();
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(AppTheme::withAlpha(m_hasAccess ? AppTheme::systemGreen() : AppTheme::accentPurple(), 0.12));
    painter.drawEllipse(centre, glowRadius, glowRadius);
    painter.restore();
    if (!m_hasAccess) {
        paintSymbolGradient(painter, QStringLiteral("lock.shield"), centre, 56, AppTheme::accentPurple(),
                            AppTheme::accentBlue());
        return;
    }
    painter.save();
    painter.setOpacity(std::clamp(m_checkOpacity->value(), 0.0, 1.0));
    painter.translate(centre);
    painter.scale(m_checkScale->value(), m_checkScale->value());
    paintSymbolGradient(painter, QStringLiteral("checkmark.shield.fill"), QPointF(0, 0), 56, AppTheme::systemGreen(),
                        AppTheme::accentBlue());
    painter.restore();
}
