#include "onboarding/OnboardingScheduler.h"

#include <QTimer>

void TimerScheduler::after(int delayMs, QObject* context, std::function<void()> step)
{
    // Precise: the cycles are built from deadlines a few tenths of a second apart.
    QTimer::singleShot(delayMs, Qt::PreciseTimer, context, std::move(step));
}
