#pragma once

#include "onboarding/OnboardingPage.h"

#include <QColor>
#include <QList>
#include <QStringList>

class OnboardingPageShell;
class QPainter;
class Tween;

/// The Profiles page: two sample profile cards over a glow; every 5.4 s the active card
/// changes to the second and back, growing and taking its profile's colour.
class OnboardingPage2 final : public OnboardingPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingPage2)
public:
    static constexpr int kCycleMs = 5400;

    struct SampleProfile {
        QString name;
        QString icon;
        QColor color;
        QStringList plugins;
    };

    OnboardingPage2(OnboardingScheduler& scheduler, QWidget* parent = nullptr);

    QString title() const override;
    QString description() const override;
    OnboardingPageShell* shell() const { return m_shell; }

    int activeProfile() const { return m_activeProfile; }
    /// Where the glow's opacity is heading.
    double spotlightOpacity() const;
    const QList<SampleProfile>& profiles() const { return m_profiles; }

    /// Schedules one cycle, and the next one after it.
    void startProfileAnimation();

protected:
    void onAppear() override;

private:
    void setActiveProfile(int index);
    void paintIllustration(QPainter& painter, const QRectF& rect) const;
    void paintCard(QPainter& painter, const QRectF& rect, int index) const;
    /// The glow behind the cards as it is now.
    QColor glow() const;

    int m_activeProfile = 0;
    QList<SampleProfile> m_profiles;
    Tween* m_spotlight = nullptr;
    Tween* m_glowColor = nullptr; // 0 = first profile's colour, 1 = second's
    QList<Tween*> m_cardScales;
    OnboardingPageShell* m_shell = nullptr;
};
