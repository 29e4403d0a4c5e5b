#pragma once

#include "onboarding/OnboardingPage.h"

#include <QColor>
#include <QList>

class OnboardingPageShell;
class QPainter;
class Tween;

/// The welcome page: a row of level bars over a soft purple glow that starts to rise
/// and fall in a wave when the sheet opens.
class OnboardingPage0 final : public OnboardingPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingPage0)
public:
    static constexpr int kBarCount = 18;

    OnboardingPage0(OnboardingScheduler& scheduler, QWidget* parent = nullptr);

    QString title() const override;
    QString description() const override;
    OnboardingPageShell* shell() const { return m_shell; }

    /// False = bars at rest; true once the sheet has opened (never false again).
    bool animate() const { return m_animate; }
    /// The height of bar `index` of `count`, at rest or raised: a low arch at rest, two
    /// and a half humps between 20 and 80 points when raised.
    static double barHeight(int index, int count, bool raised);
    /// How long one swing of the bar takes, and how long after the sheet opens it starts.
    static int swingMs(int index);
    static int startDelayMs(int index);
    /// The bar's height as painted now, and whether it has started to swing.
    double currentBarHeight(int index) const;
    bool isBarSwinging(int index) const;
    double glowOpacity() const;

protected:
    void onAppear() override;

private:
    void paintIllustration(QPainter& painter, const QRectF& rect) const;

    bool m_animate = false;
    QList<QColor> m_colors;
    QList<Tween*> m_bars;
    Tween* m_glow = nullptr;
    OnboardingPageShell* m_shell = nullptr;
};
