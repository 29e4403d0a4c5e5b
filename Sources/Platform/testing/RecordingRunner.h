#pragma once

#include "Platform/PrivilegedRunner.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

/// Records every command and answers from a queue (success when the queue is empty).
/// Nothing is executed.
class RecordingRunner final : public PrivilegedRunner {
public:
    static Result success();
    /// A refused or cancelled password prompt: nothing ran.
    static Result failure(const QString& message, int exitCode = 1);
    /// The command ran and failed, writing `message` to its standard error.
    static Result commandFailure(const QString& message, int exitCode = 1);
    /// The command was stopped by a signal.
    static Result killed(const QString& message = QStringLiteral("Killed"));
    static Result cannotStart(const QString& reason);

    void enqueue(const Result& answer) { m_answers.append(answer); }
    const QStringList& commands() const { return m_commands; }
    void clear() { m_commands.clear(); }
    /// Called with each command before it is answered (a test may touch the disk here).
    void setOnRun(std::function<void(const QString&)> hook) { m_onRun = std::move(hook); }

    Result run(const QString& shellCommand) override;

private:
    QStringList m_commands;
    QList<Result> m_answers;
    std::function<void(const QString&)> m_onRun;
};
