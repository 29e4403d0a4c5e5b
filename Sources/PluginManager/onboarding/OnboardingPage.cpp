#include "onboarding/OnboardingPage.h"

#include "onboarding/OnboardingPageShell.h"
#include "onboarding/OnboardingScheduler.h"

#include <QVBoxLayout>

OnboardingPage::OnboardingPage(OnboardingScheduler& scheduler, QWidget* parent)
    : QWidget(parent), m_scheduler(scheduler)
{
}

void OnboardingPage::appear()
{
    if (m_inSheet)
        return;
    m_inSheet = true;
    ++m_entry;
    onAppear();
}

void OnboardingPage::disappear()
{
    if (!m_inSheet)
        return;
    m_inSheet = false;
    ++m_entry;
    onDisappear();
}

void OnboardingPage::later(int delayMs, std::function<void()> step)
{
    m_scheduler.after(delayMs, this, [this, entry = m_entry, step = std::move(step)] {
        if (m_inSheet && entry == m_entry)
            step();
    });
}

OnboardingPageShell* OnboardingPage::installShell(std::function<void(QPainter&, const QRectF&)> paint)
{
    auto* shell = new OnboardingPageShell(title(), description(), std::move(paint), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(shell);
    return shell;
}
