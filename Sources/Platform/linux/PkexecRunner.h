#pragma once

#include "Platform/PrivilegedRunner.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

/// Runs `program args...`, waiting in a local event loop so timers and repaints of
/// the caller keep running. Standard output is discarded; standard error becomes the
/// failure message. A program that cannot start gives started=false with a reason.
/// `standardInput`, when given, is written to the program's standard input (else it reads nothing).
PrivilegedRunner::Result runProcessAndWait(const QString& program, const QStringList& arguments,
                                           const std::optional<QByteArray>& standardInput = std::nullopt);

/// Administrator rights through polkit: `pkexec /bin/sh -c CMD`, the command being one
/// argument, preceded by a line that prints a marker on standard output, so that pkexec's
/// own outcome (a dismissed prompt exits 126, refused rights 127) is told apart from the
/// command's exit status. Already root, or working inside a sandbox root, it runs
/// `/bin/sh -c CMD` directly (no prompt is needed, or none must appear in a sandbox).
class PkexecRunner final : public PrivilegedRunner {
public:
    /// `pkexec` is the program that asks for rights (tests put a stand-in there); `direct`
    /// overrides runsDirectly().
    explicit PkexecRunner(QString pkexec = QStringLiteral("pkexec"), std::optional<bool> direct = std::nullopt);

    /// The longest command passed as an argument. The kernel refuses a single argument
    /// over 128 KiB (a delete of a few thousand bundles), so a longer command is read by
    /// the same shell from its standard input instead (`sh -s`): same bytes, one prompt.
    static constexpr qsizetype kMaxArgumentBytes = 100 * 1024;

    Result run(const QString& shellCommand) override;

    /// True when no prompt is needed (root) or none may appear (sandbox root).
    static bool runsDirectly();
    /// True when the command is too long to be an argument and goes to standard input.
    static bool usesStandardInput(const QString& shellCommand);
    /// The line put before the command on the pkexec road.
    static QString authorisedPrologue();
    /// The program and arguments run() starts: `/bin/sh -c CMD` directly, else
    /// `pkexec /bin/sh -c PROLOGUE+CMD`; the command is always one argument (or, when
    /// usesStandardInput(), `-s` with the command on standard input).
    static std::pair<QString, QStringList> invocation(const QString& shellCommand, bool direct = runsDirectly(),
                                                      const QString& pkexec = QStringLiteral("pkexec"));

private:
    QString m_pkexec;
    std::optional<bool> m_direct;
};
