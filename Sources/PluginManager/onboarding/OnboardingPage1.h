#pragma once

#include "onboarding/OnboardingPage.h"

#include <QList>
#include <QStringList>

#include <array>
#include <optional>

class OnboardingPageShell;
class QPainter;
class Tween;

/// The Enable & Disable page: three sample plug-in rows with switches; every 6 s an
/// arrow points at each row in turn, the row lights up and its switch flips.
class OnboardingPage1 final : public OnboardingPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingPage1)
public:
    static constexpr int kCycleMs = 6000;

    OnboardingPage1(OnboardingScheduler& scheduler, QWidget* parent = nullptr);

    QString title() const override;
    QString description() const override;
    OnboardingPageShell* shell() const { return m_shell; }

    const QList<bool>& toggleStates() const { return m_toggleStates; }
    std::optional<int> highlightedRow() const { return m_highlightedRow; }
    /// Where the arrow is heading: 0 = middle row, -44 = top, 44 = bottom.
    double arrowOffset() const;

    /// Schedules one cycle, and the next one after it.
    void startToggleAnimation();

protected:
    void onAppear() override;

private:
    void runStep(int step, int row);
    void setHighlightedRow(std::optional<int> row, int durationMs);
    void paintIllustration(QPainter& painter, const QRectF& rect) const;
    void paintRow(QPainter& painter, const QRectF& rect, int row) const;

    QList<bool> m_toggleStates{true, false, true};
    std::optional<int> m_highlightedRow;
    QList<SamplePlugin> m_plugins;
    Tween* m_arrow = nullptr;
    QList<Tween*> m_knobs; // -1 = off, 1 = on
    QList<Tween*> m_lit;   // 0 = plain, 1 = highlighted
    OnboardingPageShell* m_shell = nullptr;
};
