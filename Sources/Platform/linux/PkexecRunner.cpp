#include "Platform/linux/PkexecRunner.h"

#include "Platform/Paths.h"

#include <QEventLoop>
#include <QProcess>

#include <unistd.h>

namespace {
constexpr auto kShell = "/bin/sh";
constexpr auto kPkexec = "pkexec";

// Runs and waits; `standardError` receives what the program wrote there.
PrivilegedRunner::Result runWaiting(const QString& program, const QStringList& arguments,
                                    const std::optional<QByteArray>& standardInput, QString& standardError)
{
    PrivilegedRunner::Result result;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
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

bool PkexecRunner::runsDirectly()
{
    return ::geteuid() == 0 || Paths::isSandboxRoot();
}

bool PkexecRunner::usesStandardInput(const QString& shellCommand)
{
    return shellCommand.toUtf8().size() > kMaxArgumentBytes;
}

std::pair<QString, QStringList> PkexecRunner::invocation(const QString& shellCommand, bool direct)
{
    const QString shell = QString::fromLatin1(kShell);
    const QStringList shellArguments = usesStandardInput(shellCommand)
                                           ? QStringList{QStringLiteral("-s")}
                                           : QStringList{QStringLiteral("-c"), shellCommand};
    if (direct)
        return {shell, shellArguments};
    return {QString::fromLatin1(kPkexec), QStringList{shell} + shellArguments};
}

PrivilegedRunner::Result PkexecRunner::run(const QString& shellCommand)
{
    const auto [program, arguments] = invocation(shellCommand);
    const std::optional<QByteArray> input =
        usesStandardInput(shellCommand) ? std::optional<QByteArray>(shellCommand.toUtf8()) : std::nullopt;
    QString standardError;
    Result result = runWaiting(program, arguments, input, standardError);
    if (!result.started || result.succeeded || program == QLatin1String(kShell))
        return result;
    // pkexec answers 126 when the prompt was dismissed and 127 when authorisation was refused.
    if (result.exitCode == 126 || result.exitCode == 127) {
        result.refused = true;
        const QString reason = result.exitCode == 126
                                   ? QStringLiteral("The administrator password prompt was cancelled.")
                                   : QStringLiteral("Administrator rights were refused.");
        result.errorMessage = standardError.isEmpty() ? reason : reason + QLatin1Char(' ') + standardError;
    }
    return result;
}
