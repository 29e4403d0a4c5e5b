#include "Platform/linux/PkexecRunner.h"

#include "Platform/Paths.h"

#include <QEventLoop>
#include <QProcess>

#include <unistd.h>

namespace {
constexpr auto kShell = "/bin/sh";

// Printed by the shell before the command, once pkexec has let it run.
constexpr auto kAuthorised = "rackhand: authorised";

// Runs and waits; `standardError` receives what the program wrote there, and
// `standardOutput` (when given) what it wrote on standard output.
PrivilegedRunner::Result runWaiting(const QString& program, const QStringList& arguments,
                                    const std::optional<QByteArray>& standardInput, QString& standardError,
                                    QByteArray* standardOutput = nullptr)
{
    PrivilegedRunner::Result result;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!standardOutput)
        process.setStandardOutputFile(QProcess::nullDevice());
    if (!standardInput)
        process.setStandardInputFile(QProcess::nullDevice());

    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop, &process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart || process.state() == QProcess::NotRunning)
            loop.quit();
    });
    process.start();
    if (!process.waitForStarted(-1)) {
        result.started = false;
        result.errorMessage = QStringLiteral("Could not start %1: %2").arg(program, process.errorString());
        return result;
    }
    result.started = true;
    if (standardInput) {
        // Written out by the event loop below while the program reads.
        process.write(*standardInput);
        process.closeWriteChannel();
    }
    // The prompt may stay open for a long time: no time-out, but the caller's timers keep firing.
    if (process.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (standardOutput)
        *standardOutput = process.readAllStandardOutput();
    const QString errorText = QString::fromUtf8(process.readAllStandardError()).trimmed();
    standardError = errorText;
    result.standardError = errorText;
    if (process.exitStatus() == QProcess::CrashExit) {
        result.killed = true;
        result.exitCode = -1;
        result.errorMessage = errorText.isEmpty() ? QStringLiteral("%1 was terminated").arg(program) : errorText;
        return result;
    }
    result.exitCode = process.exitCode();
    result.succeeded = result.exitCode == 0;
    // The shell reports a command it lost to a signal as 128 + the signal's number.
    result.killed = result.exitCode > 128 && result.exitCode < 128 + 65;
    if (!result.succeeded)
        result.errorMessage = errorText.isEmpty()
                                  ? QStringLiteral("The command failed with exit status %1").arg(result.exitCode)
                                  : errorText;
    return result;
}
} // namespace

PrivilegedRunner::Result runProcessAndWait(const QString& program, const QStringList& arguments,
                                           const std::optional<QByteArray>& standardInput)
{
    QString standardError;
    return runWaiting(program, arguments, standardInput, standardError);
}

PkexecRunner::PkexecRunner(QString pkexec, std::optional<bool> direct) : m_pkexec(std::move(pkexec)), m_direct(direct)
{
}

bool PkexecRunner::runsDirectly()
{
    return ::geteuid() == 0 || Paths::isSandboxRoot();
}

bool PkexecRunner::usesStandardInput(const QString& shellCommand)
{
    return shellCommand.toUtf8().size() > kMaxArgumentBytes;
}

QString PkexecRunner::authorisedPrologue()
{
    return QStringLiteral("printf '%s\\n' '") + QLatin1String(kAuthorised) + QStringLiteral("'\n");
}

std::pair<QString, QStringList> PkexecRunner::invocation(const QString& shellCommand, bool direct,
                                                         const QString& pkexec)
{
    const QString shell = QString::fromLatin1(kShell);
    // Through pkexec the shell first says it runs: pkexec's own refusals (126, 127) are
    // then never mistaken for the command's exit status.
    const QString text = direct ? shellCommand : authorisedPrologue() + shellCommand;
    const QStringList shellArguments =
        usesStandardInput(text) ? QStringList{QStringLiteral("-s")} : QStringList{QStringLiteral("-c"), text};
    if (direct)
        return {shell, shellArguments};
    return {pkexec, QStringList{shell} + shellArguments};
}

PrivilegedRunner::Result PkexecRunner::run(const QString& shellCommand)
{
    const bool direct = m_direct.value_or(runsDirectly());
    const QString text = direct ? shellCommand : authorisedPrologue() + shellCommand;
    const auto [program, arguments] = invocation(shellCommand, direct, m_pkexec);
    const std::optional<QByteArray> input =
        usesStandardInput(text) ? std::optional<QByteArray>(text.toUtf8()) : std::nullopt;
    QString standardError;
    QByteArray standardOutput;
    Result result = runWaiting(program, arguments, input, standardError, direct ? nullptr : &standardOutput);
    if (!result.started || direct || standardOutput.startsWith(QByteArray(kAuthorised) + '\n'))
        return result;
    // pkexec never ran the command: dismissed (126), not authorised (127) or failed itself.
    result.succeeded = false;
    result.refused = true;
    result.killed = false;
    result.standardError.clear();
    QString reason;
    if (result.exitCode == 126)
        reason = QStringLiteral("The administrator password prompt was cancelled.");
    else if (result.exitCode == 127)
        reason = QStringLiteral("Administrator rights were refused.");
    else
        reason = QStringLiteral("pkexec did not run the command (exit status %1).").arg(result.exitCode);
    result.errorMessage = standardError.isEmpty() ? reason : reason + QLatin1Char(' ') + standardError;
    return result;
}
