#pragma once

#include "Platform/LoginItem.h"

/// The login item as the desktop entry <configHome>/autostart/<identifier>.desktop,
/// which session managers start at log-in.
class XdgAutostartLoginItem final : public LoginItem {
public:
    /// `executablePath` is written as the entry's Exec; `executableName` recognises
    /// running helpers in /proc.
    XdgAutostartLoginItem(QString identifier, QString executablePath, QString executableName);

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
    QString m_identifier;
    QString m_executablePath;
    QString m_executableName;
};
