#pragma once

#include "Platform/PrivilegedRunner.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

/// Really runs each command with `/bin/sh -c` (as PkexecRunner does without a prompt),
/// unprivileged, and records it. Refuses to
/// run anything unless the root prefix is a sandbox folder. A queued answer replaces
/// one run (to act out a cancelled prompt or a runner that cannot start): that
/// command is then recorded but not executed.
class SandboxRunner final : public PrivilegedRunner {
public:
    void enqueueInsteadOfRunning(const Result& answer) { m_answers.append(answer); }
    const QStringList& commands() const { return m_commands; }
    /// Called with each command before it runs.
    void setBeforeRun(std::function<void(const QString&)> hook) { m_beforeRun = std::move(hook); }
    /// The result of the last command that really ran.
    const std::optional<Result>& lastResult() const { return m_lastResult; }

    Result run(const QString& shellCommand) override;

private:
    QStringList m_commands;
    QList<Result> m_answers;
    std::function<void(const QString&)> m_beforeRun;
    std::optional<Result> m_lastResult;
};
