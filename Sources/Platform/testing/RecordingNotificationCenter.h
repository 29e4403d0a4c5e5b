#pragma once

#include "Platform/NotificationCenter.h"

#include <QList>
#include <QString>
#include <QVariantMap>

/// Keeps every posted notification.
class RecordingNotificationCenter final : public NotificationCenter {
public:
    struct Posted {
        QString name;
        QVariantMap userInfo;
    };
    void post(const QString& name, const QVariantMap& userInfo = {}) override { m_posted.append({name, userInfo}); }
    const QList<Posted>& posted() const { return m_posted; }
    qsizetype count(const QString& name) const;
    void clear() { m_posted.clear(); }

private:
    QList<Posted> m_posted;
};
