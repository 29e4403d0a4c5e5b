#pragma once

#include <QString>

#include <functional>

/// Desktop notifications shown to the user (title, body, the default sound). A click on
/// one of this program's notifications runs the activation handler.
class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    /// Shows one notification at once; failures (no notification service) are dropped.
    virtual void send(const QString& title, const QString& body) = 0;
    /// Runs on the main thread when the user clicks a notification this process sent.
    virtual void setActivationHandler(std::function<void()> handler) = 0;
};
