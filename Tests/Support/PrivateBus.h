#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QUuid>

/// A session bus of the test's own (a dbus-daemon it starts and ends), so the programs it
/// runs on it never meet those of tests running beside it, and a second one stands for
/// another login session.
class PrivateBus {
public:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        m_daemon.start(daemon,
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted() || !m_daemon.waitForReadyRead(10000))
            return;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        QDBusConnection::connectToBus(m_address, m_name);
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(m_name);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000))
                m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    /// False when dbus-daemon is missing or did not start.
    bool isConnected() const { return connection().isConnected(); }
    /// For DBUS_SESSION_BUS_ADDRESS of the programs started on it.
    const QString& address() const { return m_address; }
    /// This process's connection to it, and the name that connection goes by.
    QDBusConnection connection() const { return QDBusConnection(m_name); }
    const QString& connectionName() const { return m_name; }

private:
    QProcess m_daemon;
    QString m_address;
    QString m_name = QStringLiteral("private-bus-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
};
