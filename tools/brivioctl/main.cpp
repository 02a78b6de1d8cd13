// brivioctl: the command line. While the agent (brivio) runs, every command is a call to it over the
// session bus; otherwise the command drives the same controller in this process.

#include "Arguments.h"
#include "CommandLine.h"
#include "base/Log.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

using namespace brivio;
using namespace brivio::cli;

int main(int argc, char** argv) {
    CommandLine commandLine;
    auto& app = commandLine.app;
    auto& options = commandLine.options;

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        auto extra = app.remaining();
        if (app.get_subcommands().empty() && !extra.empty())
            std::cerr << "brivioctl: unknown command '" << extra.front() << "' (see brivioctl --help)\n";
        else
            std::cerr << "brivioctl: " << e.what() << "\n";
        return 2;
    }

    // Quiet by default: a command's output is its answer. $BRIVIO_LOG still wins when set.
    if (commandLine.verbosity >= 2)
        Log::setLevel(LogLevel::debug);
    else if (commandLine.verbosity == 1)
        Log::setLevel(LogLevel::info);
    else if (!std::getenv("BRIVIO_LOG"))
        Log::setLevel(LogLevel::error);

    CommandContext context(options);
    try {
        if (!commandLine.advance.empty()) {
            if (!options.simFile)
                throw UsageError("--advance needs a simulated desk (--sim FILE)");
            options.advanceMs = parseDurationMs(commandLine.advance);
        }
        const CommandSet::Runner* runner = commandLine.commands.chosen();
        int status = runner ? (*runner)(context) : 2;
        context.close();
        return status;
    } catch (const UsageError& e) {
        std::cerr << "brivioctl: " << e.what() << "\n";
        context.abandon();
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "brivioctl: " << e.what() << "\n";
        context.abandon();
        return 1;
    }
}
