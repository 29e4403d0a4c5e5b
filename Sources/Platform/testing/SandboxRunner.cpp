#include "Platform/testing/SandboxRunner.h"

#include "Platform/Paths.h"
#include "Platform/linux/PkexecRunner.h"

PrivilegedRunner::Result SandboxRunner::run(const QString& shellCommand)
{
    m_commands.append(shellCommand);
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    if (!Paths::isSandboxRoot()) {
        Result refused;
        refused.started = false;
        refused.errorMessage = QStringLiteral("SandboxRunner runs only inside a sandbox root");
        return refused;
    }
    if (m_beforeRun)
        m_beforeRun(shellCommand);
    m_lastResult = runProcessAndWait(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), shellCommand});
    return *m_lastResult;
}
