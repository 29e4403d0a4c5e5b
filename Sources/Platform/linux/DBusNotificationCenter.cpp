#include "Platform/linux/DBusNotificationCenter.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QPointer>

#include <vector>

/// Receives the bus signal (a slot needs a QObject) and hands it to the observers.
class DBusNotificationReceiver final : public QObject {
    Q_OBJECT
public:
    struct Observer {
        QString name;
        QPointer<QObject> context;
        NotificationCenter::Handler handler;
    };
    std::vector<Observer> observers;
    bool connected = false;

public Q_SLOTS:
    void deliver(const QString& name, const QVariantMap& userInfo)
    {
        // Copied first: a handler may add observers.
        const std::vector<Observer> current = observers;
        for (const Observer& observer : current) {
            if (observer.name == name && observer.context)
                observer.handler(userInfo);
        }
    }
};

DBusNotificationCenter::DBusNotificationCenter() : m_receiver(std::make_unique<DBusNotificationReceiver>()) {}

DBusNotificationCenter::~DBusNotificationCenter() = default;

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

void DBusNotificationCenter::observe(const QString& name, QObject* context, Handler handler)
{
    std::erase_if(m_receiver->observers, [](const DBusNotificationReceiver::Observer& o) { return !o.context; });
    m_receiver->observers.push_back({name, context, std::move(handler)});
    if (m_receiver->connected)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    m_receiver->connected =
        bus.connect(QString(), QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterface),
                    QString::fromLatin1(kMember), m_receiver.get(), SLOT(deliver(QString, QVariantMap)));
}

#include "DBusNotificationCenter.moc"
