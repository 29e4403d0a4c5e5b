#include "shell/SingleInstance.h"

#include "Platform/Diagnostics.h"
#include "Platform/RackhandBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus)) {}

SingleInstance::~SingleInstance()
{
    if (m_owner) {
        m_bus.unregisterObject(QString::fromLatin1(RackhandBus::kObjectPath));
        m_bus.unregisterService(QString::fromLatin1(RackhandBus::kServiceName));
    }
}

SingleInstance::Outcome SingleInstance::claim()
{
    if (!m_bus.isConnected())
        return Outcome::standalone;
    const QString service = QString::fromLatin1(RackhandBus::kServiceName);
    // Two tries: the owner may quit between our request and our call to it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_bus.registerService(service)) {
            m_owner = true;
            m_bus.registerObject(QString::fromLatin1(RackhandBus::kObjectPath), this,
                                 QDBusConnection::ExportScriptableSlots);
            return Outcome::primary;
        }
        if (askRunningToActivate())
            return Outcome::handedOver;
    }
    Diagnostics::print(QStringLiteral("⚠️ Another Rackhand holds ") + service +
                       QStringLiteral(" but does not answer: starting anyway"));
    return Outcome::standalone;
}

bool SingleInstance::askRunningToActivate()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(RackhandBus::kServiceName), QString::fromLatin1(RackhandBus::kObjectPath),
        QString::fromLatin1(RackhandBus::kApplicationInterface), QString::fromLatin1(RackhandBus::kActivateMethod));
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kHandOverTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void SingleInstance::Activate()
{
    Diagnostics::print(QStringLiteral("🪟 Rackhand was started again: bringing its window to the front"));
    Q_EMIT activationRequested();
}
