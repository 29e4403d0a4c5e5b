#pragma once

#include "Platform/PrivilegedRunner.h"

#include <QString>
#include <QStringList>

#include <utility>

/// Runs `program args...`, waiting in a local event loop so timers and repaints of
/// the caller keep running. Standard output is discarded; standard error becomes the
/// failure message. A program that cannot start gives started=false with a reason.
PrivilegedRunner::Result runProcessAndWait(const QString& program, const QStringList& arguments);

/// Administrator rights through polkit: `pkexec /bin/sh -c CMD`, the command being one
/// argument. Already root, or working inside a sandbox root, it runs `/bin/sh -c CMD`
/// directly (no prompt is needed, or none must appear in a sandbox).
class PkexecRunner final : public PrivilegedRunner {
public:
    Result run(const QString& shellCommand) override;

    /// True when no prompt is needed (root) or none may appear (sandbox root).
    static bool runsDirectly();
    /// The program and arguments run() starts: `/bin/sh -c CMD` directly, else
    /// `pkexec /bin/sh -c CMD`; the command is always one argument.
    static std::pair<QString, QStringList> invocation(const QString& shellCommand, bool direct = runsDirectly());
};
