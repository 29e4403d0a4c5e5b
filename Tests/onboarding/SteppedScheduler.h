#pragma once

#include "onboarding/OnboardingScheduler.h"

#include <QPointer>

#include <algorithm>
#include <vector>

/// Time that only moves when the test moves it: steps run in deadline order, each
/// seeing the clock at its own deadline, and may schedule further steps.
class SteppedScheduler final : public OnboardingScheduler {
public:
    void after(int delayMs, QObject* context, std::function<void()> step) override
    {
        m_queue.push_back({m_now + delayMs, m_sequence++, QPointer<QObject>(context), std::move(step)});
    }

    /// Moves time on by `ms`, running every step that falls due on the way.
    void advance(qint64 ms)
    {
        const qint64 end = m_now + ms;
        for (;;) {
            auto next = std::min_element(m_queue.begin(), m_queue.end(), [](const Entry& a, const Entry& b) {
                return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
            });
            if (next == m_queue.end() || next->due > end)
                break;
            Entry entry = std::move(*next);
            m_queue.erase(next);
            m_now = entry.due;
            if (entry.context)
                entry.step();
        }
        m_now = end;
    }
    /// Moves time on to `ms` after the start.
    void advanceTo(qint64 ms) { advance(std::max<qint64>(0, ms - m_now)); }

    qint64 now() const { return m_now; }
    qsizetype pending() const { return static_cast<qsizetype>(m_queue.size()); }

private:
    struct Entry {
        qint64 due;
        quint64 sequence;
        QPointer<QObject> context;
        std::function<void()> step;
    };
    std::vector<Entry> m_queue;
    qint64 m_now = 0;
    quint64 m_sequence = 0;
};
