#pragma once

#include "Platform/NotificationCenter.h"

/// Notifications as a D-Bus signal on the session bus, so the helper program (or any
/// listener) hears them: member "Notification" with (name s, userInfo a{sv}).
class DBusNotificationCenter final : public NotificationCenter {
public:
    static constexpr auto kObjectPath = "/com/yourcompany/Rackhand";
    static constexpr auto kInterface = "com.yourcompany.Rackhand.Notifications";
    static constexpr auto kMember = "Notification";

    /// Without a session bus this does nothing.
    void post(const QString& name, const QVariantMap& userInfo = {}) override;
};
