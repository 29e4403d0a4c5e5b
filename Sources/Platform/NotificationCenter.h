#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>

class QObject;

/// Notifications between the two programs (a D-Bus signal on the session bus on
/// Linux). Posting without a bus is a silent no-op.
class NotificationCenter {
public:
    using Handler = std::function<void(const QVariantMap& userInfo)>;

    virtual ~NotificationCenter() = default;
    virtual void post(const QString& name, const QVariantMap& userInfo = {}) = 0;
    /// Calls `handler` on the main thread for every notification `name` from any sender,
    /// until `context` is destroyed. Without a bus nothing is ever delivered.
    virtual void observe(const QString& name, QObject* context, Handler handler) = 0;
};
