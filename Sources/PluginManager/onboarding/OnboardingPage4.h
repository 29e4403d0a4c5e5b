#pragma once

#include "onboarding/OnboardingPage.h"

#include <QList>

class OnboardingPageShell;
class QPainter;
class Tween;

/// The You're in Control page: a shield with rings pulsing outwards, and below it a
/// file that slides into a folder every 2.8 s.
class OnboardingPage4 final : public OnboardingPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingPage4)
public:
    static constexpr int kPassMs = 2800;
    static constexpr int kRingCount = 3;

    OnboardingPage4(OnboardingScheduler& scheduler, QWidget* parent = nullptr);

    QString title() const override;
    QString description() const override;
    OnboardingPageShell* shell() const { return m_shell; }

    /// Where the file group is heading: horizontal offset and opacity.
    double fileOffset() const;
    double fileOpacity() const;
    /// Whether ring `index` has started pulsing.
    bool isRingPulsing(int index) const;
    /// Ring `index`'s opacity at the start of a pulse: 0.6, 0.3, 0.2.
    static double ringBaseOpacity(int index);

    /// One pass of the file animation; it schedules the next.
    void animateFile();

protected:
    void onAppear() override;

private:
    void paintIllustration(QPainter& painter, const QRectF& rect) const;

    QList<Tween*> m_rings; // pulse progress: 0 = small and visible, 1 = grown and gone
    Tween* m_fileOffset = nullptr;
    Tween* m_fileOpacity = nullptr;
    OnboardingPageShell* m_shell = nullptr;
};
