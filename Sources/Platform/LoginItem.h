#pragma once

#include <QList>
#include <QString>

/// The helper's login item and its running copy. On Linux the login item is an XDG
/// autostart entry; the running helper is this session's only, found through the helper's
/// session-bus name, never a helper of another session or user.
class LoginItem {
public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    struct RunningHelper {
        qint64 pid = 0;
        /// Empty when the process's executable cannot be read.
        QString executablePath;
    };

    virtual ~LoginItem() = default;

    virtual Status status() const = 0;
    /// Each returns an empty string on success, else a readable reason.
    [[nodiscard]] virtual QString registerItem() = 0;
    [[nodiscard]] virtual QString unregisterItem() = 0;

    /// The helpers running in this session (at most one: each session keeps one).
    virtual QList<RunningHelper> runningHelpers() const = 0;
    /// Asks one helper to quit (not a forced end); the outcome is not reported.
    virtual void requestQuit(const RunningHelper& helper) = 0;
    /// Starts the helper executable detached; false when it could not be started.
    virtual bool launch(const QString& executablePath) = 0;
};
