#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

/// Receives the application's D-Bus notification signal (connected by the test) and
/// re-emits it for QSignalSpy.
class NotificationListener : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void notification(const QString& name, const QVariantMap& userInfo);
};
