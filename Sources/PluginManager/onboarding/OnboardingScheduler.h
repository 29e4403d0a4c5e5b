#pragma once

#include <QObject>

#include <functional>

/// When the pages' timed steps run. The pages never start timers themselves, so tests
/// can replace this with one they step by hand.
class OnboardingScheduler {
public:
    virtual ~OnboardingScheduler() = default;
    /// Runs `step` on the main thread `delayMs` from now, unless `context` is gone by then.
    virtual void after(int delayMs, QObject* context, std::function<void()> step) = 0;
};

/// Main-loop timers.
class TimerScheduler final : public OnboardingScheduler {
public:
    void after(int delayMs, QObject* context, std::function<void()> step) override;
};
