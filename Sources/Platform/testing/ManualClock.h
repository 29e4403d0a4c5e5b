#pragma once

#include "Platform/Clock.h"

/// A clock that only moves when a test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};
