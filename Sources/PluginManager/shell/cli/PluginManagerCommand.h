#pragma once

#include <functional>
#include <iosfwd>

/// Exit status of a malformed command line (unknown option or subcommand, missing
/// option value): EX_USAGE of <sysexits.h>, the usual code for usage errors.
inline constexpr int kUsageErrorExitCode = 64;

/// The root command plugin-manager ("Audio Plugin Management Tool", version 2.4.0)
/// with the subcommands cli-command and gui-command, gui-command being the default.
///
/// Parses argv (argv[0] is the program path and is skipped) and runs the chosen
/// subcommand: cli-command writes its report to `out` and returns 0; gui-command, or
/// no subcommand at all, prints the launch line to `out` and returns `launchGui()`.
/// --help and --version print to `out` and return 0. A malformed command line
/// prints the parser's message and the usage to `err` and returns kUsageErrorExitCode.
/// Nothing here needs a Qt application object.
int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const std::function<int()>& launchGui);
