#include "MenuBarHelper/HelperInstance.h"

#include "MenuBarHelper/HelperLog.h"
#include "Platform/InstanceLock.h"
#include "Platform/Paths.h"
#include "Platform/RackhandBus.h"

#include <QDBusConnectionInterface>

HelperInstance::HelperInstance(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus)) {}

HelperInstance::~HelperInstance()
{
    if (m_owner) {
        m_bus.unregisterObject(QString::fromLatin1(RackhandBus::kHelperObjectPath));
        m_bus.unregisterService(QString::fromLatin1(RackhandBus::kHelperServiceName));
    }
}

HelperInstance::Outcome HelperInstance::claim()
{
    return m_bus.isConnected() ? claimName() : claimLock();
}

HelperInstance::Outcome HelperInstance::claimName()
{
    const QString service = QString::fromLatin1(RackhandBus::kHelperServiceName);
    // Exported before the name is taken: whoever sees the name can already ask it to quit.
    m_bus.registerObject(QString::fromLatin1(RackhandBus::kHelperObjectPath), this,
                         QDBusConnection::ExportScriptableSlots);
    if (m_bus.registerService(service)) {
        m_owner = true;
        return Outcome::primary;
    }
    m_bus.unregisterObject(QString::fromLatin1(RackhandBus::kHelperObjectPath));
    if (m_bus.interface()->isServiceRegistered(service)) {
        HelperLog::print(QStringLiteral("The helper already runs in this session: leaving"));
        return Outcome::alreadyRunning;
    }
    HelperLog::print(QStringLiteral("Could not claim ") + service + QStringLiteral(" on the session bus (") +
                     m_bus.lastError().message() + QStringLiteral("): running anyway"));
    return Outcome::standalone;
}

HelperInstance::Outcome HelperInstance::claimLock()
{
    m_lock = std::make_unique<InstanceLock>(Paths::dataFile(QString::fromLatin1(RackhandBus::kHelperLockFile)));
    switch (m_lock->tryLock()) {
    case InstanceLock::Result::acquired:
        return Outcome::primary;
    case InstanceLock::Result::heldByAnother:
        HelperLog::print(QStringLiteral("The helper already runs for this data folder: leaving"));
        return Outcome::alreadyRunning;
    case InstanceLock::Result::failed:
        break;
    }
    HelperLog::print(m_lock->errorString() + QStringLiteral(": running anyway"));
    return Outcome::standalone;
}

void HelperInstance::Quit()
{
    HelperLog::print(QStringLiteral("Asked to quit over the session bus"));
    Q_EMIT quitRequested();
}
