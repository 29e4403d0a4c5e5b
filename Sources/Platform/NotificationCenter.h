#pragma once

#include <QString>
#include <QVariantMap>

/// Notifications between the two programs (a D-Bus signal on the session bus on
/// Linux). Posting without a bus is a silent no-op.
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;
    virtual void post(const QString& name, const QVariantMap& userInfo = {}) = 0;
};
