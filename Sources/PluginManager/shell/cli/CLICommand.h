#pragma once

#include <iosfwd>
#include <optional>
#include <string>

/// cli-command: a short text report on the plug-in folders that runs and ends.
/// It uses no catalogue, scanner or side file and changes nothing on disk; every
/// line goes to the given stream, ended by a line break.
class CLICommand {
public:
    /// Absent when the option was not given (an empty value counts as given).
    std::optional<std::string> action;
    std::optional<std::string> format;
    std::optional<std::string> name;

    /// Never fails: an unknown action, a missing name and unreadable folders are
    /// reported as text.
    void run(std::ostream& out) const;

private:
    /// Shallow entry counts of the five system plug-in folders and the same five under the home folder.
    static void scanPlugins(std::ostream& out);
    /// Message-only answer to enable and disable.
    void togglePlugin(std::ostream& out, bool enable) const;
};
