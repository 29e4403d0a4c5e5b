#pragma once

#include <QString>

/// Runs one shell command with administrator rights, as the system's password prompt
/// allows. The command is handed to /bin/sh -c as one argument, never re-quoted.
class PrivilegedRunner {
public:
    struct Result {
        /// The command ran and exited with status 0.
        bool succeeded = false;
        /// False when the runner itself could not start (no pkexec, no /bin/sh).
        bool started = false;
        /// The command's exit status (or the prompt's, when refused).
        int exitCode = -1;
        /// What the shell or the prompt said on failure (its standard error), or the runner's own reason.
        QString errorMessage;
        /// The password prompt was cancelled or rights were refused: the command never ran.
        bool refused = false;
        /// The command was stopped by a signal before it ended.
        bool killed = false;
        /// Everything the command wrote to standard error, also when it succeeded (a
        /// script goes on after a failing line).
        QString standardError;
    };

    virtual ~PrivilegedRunner() = default;
    /// Blocks until the command ends; the caller's event loop keeps running meanwhile.
    virtual Result run(const QString& shellCommand) = 0;
};
