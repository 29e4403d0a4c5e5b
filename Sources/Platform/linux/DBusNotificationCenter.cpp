#include "Platform/linux/DBusNotificationCenter.h"

#include <QDBusConnection>
#include <QDBusMessage>

void DBusNotificationCenter::post(const QString& name, const QVariantMap& userInfo)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterface),
                                                     QString::fromLatin1(kMember));
    signal << name << userInfo;
    bus.send(signal);
}
