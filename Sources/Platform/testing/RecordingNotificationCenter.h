#pragma once

#include "Platform/NotificationCenter.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <vector>

/// Keeps every posted notification and hands it to the observers of its name at once.
class RecordingNotificationCenter final : public NotificationCenter {
public:
    struct Posted {
        QString name;
        QVariantMap userInfo;
    };
    void post(const QString& name, const QVariantMap& userInfo = {}) override;
    void observe(const QString& name, QObject* context, Handler handler) override;
    const QList<Posted>& posted() const { return m_posted; }
    qsizetype count(const QString& name) const;
    void clear() { m_posted.clear(); }

private:
    struct Observer {
        QString name;
        QPointer<QObject> context;
        Handler handler;
    };
    QList<Posted> m_posted;
    std::vector<Observer> m_observers;
};
