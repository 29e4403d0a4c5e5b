#pragma once

#include "Platform/LoginItem.h"

/// The login item as the desktop entry <configHome>/autostart/<identifier>.desktop,
/// which session managers start at log-in. The running helper is this session's: the owner
/// of the helper's name on the session bus, asked to quit over the bus; without a session
/// bus, the process of this user that holds the helper's lock in D.
class XdgAutostartLoginItem final : public LoginItem {
public:
    /// `executablePath` is written as the entry's Exec; `executableName` is the name the
    /// lock holder's executable must have before it is signalled. `busConnection` names a
    /// connection made with QDBusConnection::connectToBus (tests); empty is the session bus,
    /// and a name no connection has means no bus.
    XdgAutostartLoginItem(QString identifier, QString executablePath, QString executableName,
                          QString busConnection = {});

    /// Read on every call: tests point $XDG_CONFIG_HOME elsewhere.
    QString entryPath() const;
    /// The entry's whole text.
    QByteArray entryContents() const;
    /// One argument quoted for an Exec line (desktop-entry quoting, then string escapes).
    static QString quoteExecArgument(const QString& argument);

    Status status() const override;
    QString registerItem() override;
    QString unregisterItem() override;
    QList<RunningHelper> runningHelpers() const override;
    void requestQuit(const RunningHelper& helper) override;
    bool launch(const QString& executablePath) override;

private:
    /// The process holding the helper's lock in D, when it is this user's helper; else 0.
    qint64 lockHolder() const;
    QString executableOf(qint64 pid) const;

    QString m_busConnection;
    QString m_identifier;
    QString m_executablePath;
    QString m_executableName;
};
