#include "Platform/testing/RecordingRunner.h"

PrivilegedRunner::Result RecordingRunner::success()
{
    Result result;
    result.started = true;
    result.succeeded = true;
    result.exitCode = 0;
    return result;
}

PrivilegedRunner::Result RecordingRunner::failure(const QString& message, int exitCode)
{
    Result result = commandFailure(message, exitCode);
    result.refused = true;
    result.standardError.clear();
    return result;
}

PrivilegedRunner::Result RecordingRunner::commandFailure(const QString& message, int exitCode)
{
    Result result;
    result.started = true;
    result.succeeded = false;
    result.exitCode = exitCode;
    result.errorMessage = message;
    result.standardError = message;
    return result;
}

PrivilegedRunner::Result RecordingRunner::killed(const QString& message)
{
    Result result = commandFailure(message, -1);
    result.killed = true;
    return result;
}

PrivilegedRunner::Result RecordingRunner::cannotStart(const QString& reason)
{
    Result result;
    result.started = false;
    result.errorMessage = reason;
    return result;
}

PrivilegedRunner::Result RecordingRunner::run(const QString& shellCommand)
{
    m_commands.append(shellCommand);
    if (m_onRun)
        m_onRun(shellCommand);
    return m_answers.isEmpty() ? success() : m_answers.takeFirst();
}
