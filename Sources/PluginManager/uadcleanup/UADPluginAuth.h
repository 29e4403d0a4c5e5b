#pragma once

#include <QString>
#include <QUuid>

/// One plug-in line of the UAD system profile's authorisation section, with the
/// clean-up's selection flags.
struct UADPluginAuth {
    /// The authorisation state a profile line gives.
    class UADAuthStatus {
    public:
        enum class Kind { demo, authorized, expired, demoNotStarted };

        static UADAuthStatus demo(qint64 daysLeft) { return {Kind::demo, daysLeft}; }
        static UADAuthStatus authorized() { return {Kind::authorized, 0}; }
        static UADAuthStatus expired() { return {Kind::expired, 0}; }
        static UADAuthStatus demoNotStarted() { return {Kind::demoNotStarted, 0}; }

        Kind kind() const { return m_kind; }
        /// The days a running demo has left; 0 for the other states.
        qint64 daysLeft() const { return m_daysLeft; }
        /// "Demo (14 days left)", "Authorized", "Demo Expired", "Demo Not Started".
        QString displayString() const;
        bool operator==(const UADAuthStatus&) const = default;

    private:
        UADAuthStatus(Kind kind, qint64 daysLeft) : m_kind(kind), m_daysLeft(daysLeft) {}
        Kind m_kind;
        qint64 m_daysLeft;
    };

    QUuid id;
    QString name;
    UADAuthStatus status = UADAuthStatus::demoNotStarted();
    /// Chosen for disabling.
    bool isSelected = true;
    /// Every catalogue row that matches the entry is already disabled.
    bool isAlreadyDisabled = false;
};

using UADAuthStatus = UADPluginAuth::UADAuthStatus;
