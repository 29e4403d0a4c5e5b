#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class OnboardingPageShell;
class OnboardingScheduler;
class QPainter;
class QRectF;

/// A sample plug-in row of the pages' pictures.
struct SamplePlugin {
    QString name;
    QString format;
};

/// One page of the onboarding sheet. A page enters the sheet when the sheet opens and
/// leaves it when the sheet closes, whichever page is current; its animation cycles run
/// in between.
class OnboardingPage : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingPage)
public:
    OnboardingPage(OnboardingScheduler& scheduler, QWidget* parent);

    /// The sheet opened: start the page's animations.
    void appear();
    /// The sheet closed: steps still scheduled change nothing.
    void disappear();
    /// True between appear() and disappear().
    bool isInSheet() const { return m_inSheet; }

    virtual QString title() const = 0;
    virtual QString description() const = 0;

protected:
    virtual void onAppear() {}
    virtual void onDisappear() {}
    /// Runs `step` `delayMs` from now when the page is still in the sheet and has not
    /// entered it again since: a page that leaves and re-enters runs one cycle, not two.
    void later(int delayMs, std::function<void()> step);
    /// Fills the page with the page frame: the page's title and description under a
    /// picture painted by `paint`.
    OnboardingPageShell* installShell(std::function<void(QPainter&, const QRectF&)> paint);

private:
    OnboardingScheduler& m_scheduler;
    bool m_inSheet = false;
    quint64 m_entry = 0; // bumped on every appearance and disappearance
};
