#pragma once

#include "onboarding/OnboardingPage.h"

#include <QList>
#include <QSet>

class OnboardingPageShell;
class QPainter;
class Tween;

/// The Select Mode page: four sample rows are ticked one after another, a bulk bar
/// slides in once two are ticked, its "Enable" chip flashes, then everything clears;
/// one cycle every 5.6 s.
class OnboardingPage3 final : public OnboardingPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingPage3)
public:
    static constexpr int kCycleMs = 5600;

    OnboardingPage3(OnboardingScheduler& scheduler, QWidget* parent = nullptr);

    QString title() const override;
    QString description() const override;
    OnboardingPageShell* shell() const { return m_shell; }

    const QSet<int>& checkedRows() const { return m_checkedRows; }
    bool showBulkBar() const { return m_showBulkBar; }
    bool actionFlash() const { return m_actionFlash; }
    /// The bulk bar's count text, e.g. "2 selected".
    QString selectedText() const;

    /// Schedules one cycle; its last step schedules the next.
    void startSelectAnimation();

protected:
    void onAppear() override;
    void onDisappear() override;

private:
    void tick(int row);
    void setActionFlash(bool on);
    void clearSelection(bool animated);
    void paintIllustration(QPainter& painter, const QRectF& rect) const;
    void paintRow(QPainter& painter, const QRectF& rect, int row) const;
    void paintBulkBar(QPainter& painter, const QRectF& rect) const;

    QSet<int> m_checkedRows;
    bool m_showBulkBar = false;
    bool m_actionFlash = false;
    QList<SamplePlugin> m_plugins;
    QList<Tween*> m_ticks; // 0 = clear, 1 = ticked
    Tween* m_bulkBar = nullptr;
    Tween* m_flash = nullptr;
    OnboardingPageShell* m_shell = nullptr;
};
