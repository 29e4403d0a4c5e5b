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
    // The same shell invocation as the real runner without its prompt (long commands on standard input).
    const auto [program, arguments] = PkexecRunner::invocation(shellCommand, true);
    m_lastResult = runProcessAndWait(program, arguments,
                                     PkexecRunner::usesStandardInput(shellCommand)
                                         ? std::optional<QByteArray>(shellCommand.toUtf8())
                                         : std::nullopt);
    return *m_lastResult;
}
