#pragma once

#include "Platform/UserNotifier.h"

#include <QList>
#include <QString>

/// Keeps every notification; click() plays the user's click on one.
class RecordingUserNotifier final : public UserNotifier {
public:
    struct Notice {
        QString title;
        QString body;
    };
    void send(const QString& title, const QString& body) override { m_sent.append({title, body}); }
    void setActivationHandler(std::function<void()> handler) override { m_onActivate = std::move(handler); }
    void click()
    {
        if (m_onActivate)
            m_onActivate();
    }
    const QList<Notice>& sent() const { return m_sent; }
    void clear() { m_sent.clear(); }

private:
    QList<Notice> m_sent;
    std::function<void()> m_onActivate;
};
