#include "shell/cli/PluginManagerCommand.h"

#include "shell/cli/CLICommand.h"

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

namespace {

constexpr const char* kRootName = "plugin-manager";

/// The parser's message, the usage line of the command that was being parsed, and
/// where to find more.
std::string usageFailureMessage(const CLI::App* root, const CLI::Error& error)
{
    const CLI::App* command = root;
    std::string commandPath = root->get_name();
    // The deepest subcommand reached gives the most useful usage line.
    for (auto chosen = command->get_subcommands(); !chosen.empty(); chosen = command->get_subcommands()) {
        command = chosen.front();
        commandPath += ' ' + command->get_name();
    }
    std::string message = std::string("Error: ") + error.what() + '\n';
    message += CLI::Formatter().make_usage(command, commandPath);
    message += "Run '" + commandPath + " --help' for more information.\n";
    return message;
}

} // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const std::function<int()>& launchGui)
{
    CLI::App root("Audio Plugin Management Tool", kRootName);
    root.footer("A tool to manage audio plugins (AU, VST2, VST3, AAX, CLAP) on macOS");
    root.set_version_flag("--version", RACKHAND_VERSION);
    // At most one subcommand; none selects gui-command.
    root.require_subcommand(0, 1);
    root.failure_message(usageFailureMessage);

    CLI::App* cliCommand = root.add_subcommand("cli-command", "Command-line interface for Rackhand");
    CLI::Option* action =
        cliCommand->add_option("--action", "Action to perform (scan|list|enable|disable)")->type_name("TEXT");
    CLI::Option* format = cliCommand->add_option("--format", "Plugin format to filter by")->type_name("TEXT");
    CLI::Option* name = cliCommand->add_option("--name", "Plugin name to search for")->type_name("TEXT");
    for (CLI::Option* option : {action, format, name})
        option->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    CLI::App* guiCommand = root.add_subcommand("gui-command", "Launch the graphical interface");
    // Subcommands inherit the root's footer; the discussion belongs to the root alone.
    cliCommand->footer("");
    guiCommand->footer("");

    try {
        root.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help and version requests also arrive here, with status 0.
        const int status = root.exit(error, out, err);
        out.flush();
        err.flush();
        return status == 0 ? 0 : kUsageErrorExitCode;
    }

    if (cliCommand->parsed()) {
        const auto valueOf = [](const CLI::Option* option) -> std::optional<std::string> {
            if (option->count() == 0)
                return std::nullopt;
            return option->as<std::string>();
        };
        CLICommand cli;
        cli.action = valueOf(action);
        cli.format = valueOf(format);
        cli.name = valueOf(name);
        cli.run(out);
        return 0;
    }

    out << "🚀 Launching Rackhand GUI...\n" << std::flush;
    return launchGui ? launchGui() : 0;
}
