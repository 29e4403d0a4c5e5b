#pragma once

#include <QDBusConnection>
#include <QObject>

#include <memory>

class InstanceLock;

/// Keeps one helper per session: the first helper owns the helper's name on the session bus
/// and ends when Quit is called there (the main application's login switch stops it so); a
/// later start finds the name taken and ends at once, so the session never shows two icons or
/// announces an install twice. Without a session bus a lock on a file in D does the same for
/// the helpers of that data folder.
class HelperInstance final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelperInstance)
    Q_CLASSINFO("D-Bus Interface", "com.yourcompany.Rackhand.Helper")
public:
    enum class Outcome {
        primary,        ///< this helper is the session's one: run
        alreadyRunning, ///< another helper runs for this session: end without doing anything
        standalone      ///< neither the name nor the lock could be had for another reason: run
    };

    explicit HelperInstance(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~HelperInstance() override;

    Outcome claim();

public Q_SLOTS:
    /// Called over the bus by the login switch.
    Q_SCRIPTABLE void Quit();

Q_SIGNALS:
    void quitRequested();

private:
    Outcome claimName();
    Outcome claimLock();

    QDBusConnection m_bus;
    bool m_owner = false;
    std::unique_ptr<InstanceLock> m_lock;
};
