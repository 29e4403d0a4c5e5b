#pragma once

#include "widgets/Motion.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QList>
#include <QPointer>

#include <algorithm>

/// Motion that moves only when the test moves it. While it lives, the window's animations
/// start on it instead of Qt's timer, and widget effects are on (offscreen they start off,
/// which would make every change instant).
class SteppedMotion final : public MotionTimeline {
public:
    SteppedMotion() : m_effectsWere(QApplication::isEffectEnabled(Qt::UI_General))
    {
        install(this);
        QApplication::setEffectEnabled(Qt::UI_General, true);
    }
    ~SteppedMotion() override
    {
        install(nullptr);
        QApplication::setEffectEnabled(Qt::UI_General, m_effectsWere);
    }
    SteppedMotion(const SteppedMotion&) = delete;
    SteppedMotion& operator=(const SteppedMotion&) = delete;

    /// Held paused: only advance() moves it.
    void start(QAbstractAnimation& animation) override
    {
        animation.start();
        animation.pause();
        if (!m_animations.contains(&animation))
            m_animations.append(&animation);
    }

    static constexpr int kFrameMs = 16;

    /// Moves time on by `ms`, a millisecond at a time (an animation started on the way joins
    /// at the next one). Every frame, and at the end, what was posted runs (layout requests,
    /// widgets shown later), as the event loop runs it between frames.
    void advance(int ms)
    {
        for (int i = 0; i < ms; ++i) {
            if (i % kFrameMs == 0)
                QCoreApplication::sendPostedEvents();
            const QList<QPointer<QAbstractAnimation>> now = m_animations;
            for (const QPointer<QAbstractAnimation>& animation : now) {
                if (animation && animation->state() == QAbstractAnimation::Paused)
                    animation->setCurrentTime(animation->currentTime() +
                                              (animation->direction() == QAbstractAnimation::Forward ? 1 : -1));
            }
            m_animations.removeIf([](const QPointer<QAbstractAnimation>& animation) {
                return !animation || animation->state() == QAbstractAnimation::Stopped;
            });
        }
        // A layout that changes asks its parent's in turn: a few rounds reach the window.
        for (int round = 0; round < 4; ++round)
            QCoreApplication::sendPostedEvents();
    }

    /// How many animations are under way.
    qsizetype moving() const
    {
        return std::count_if(m_animations.cbegin(), m_animations.cend(), [](const QPointer<QAbstractAnimation>& a) {
            return a && a->state() != QAbstractAnimation::Stopped;
        });
    }

private:
    QList<QPointer<QAbstractAnimation>> m_animations;
    bool m_effectsWere;
};
