#pragma once

#include "Platform/NotificationCenter.h"
#include "Platform/RackhandBus.h"

#include <memory>

class DBusNotificationReceiver;

/// Notifications as a D-Bus signal on the session bus, so the helper program (or any
/// listener) hears them: member "Notification" with (name s, userInfo a{sv}).
class DBusNotificationCenter final : public NotificationCenter {
public:
    static constexpr auto kObjectPath = RackhandBus::kObjectPath;
    static constexpr auto kInterface = RackhandBus::kNotificationInterface;
    static constexpr auto kMember = RackhandBus::kNotificationMember;

    DBusNotificationCenter();
    ~DBusNotificationCenter() override;

    /// Without a session bus this does nothing.
    void post(const QString& name, const QVariantMap& userInfo = {}) override;
    void observe(const QString& name, QObject* context, Handler handler) override;

private:
    std::unique_ptr<DBusNotificationReceiver> m_receiver;
};
