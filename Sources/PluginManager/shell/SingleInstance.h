#pragma once

#include <QDBusConnection>
#include <QObject>

/// Keeps one main application per session: the first process owns the bus name and
/// answers Activate; a later one hands over to it and ends, so two processes never
/// write the catalogue at once. Without a session bus every process runs on its own.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)
    Q_CLASSINFO("D-Bus Interface", "com.yourcompany.Rackhand.Application")
public:
    enum class Outcome {
        primary,    ///< this process owns the name: run the window
        handedOver, ///< another process was asked to come to the front: end this one
        standalone  ///< no session bus, or the name could not be had: run the window
    };
    static constexpr int kHandOverTimeoutMs = 5'000;

    explicit SingleInstance(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~SingleInstance() override;

    Outcome claim();

public Q_SLOTS:
    /// Called over the bus by a second start.
    Q_SCRIPTABLE void Activate();

Q_SIGNALS:
    void activationRequested();

private:
    bool askRunningToActivate();

    QDBusConnection m_bus;
    bool m_owner = false;
};
