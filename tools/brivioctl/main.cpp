// brivioctl: the command line. While the agent (brivio) runs, every command is a call to it over the
// session bus; otherwise the command drives the same controller in this process.

#include "Arguments.h"
#include "CommandSet.h"
#include "ModeCommands.h"
#include "base/Log.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

using namespace brivio;
using namespace brivio::cli;

int main(int argc, char** argv) {
    CLI::App app{"brivioctl: control every display of this desktop (brightness, contrast, volume and more)"};
    app.require_subcommand(1);
    app.fallthrough();
    GlobalOptions options;
    std::string advance;
    app.add_option("--sim", options.simFile, "Run on the simulated desk described by this scenario file");
    app.add_option("--config", options.configDir, "Keep the settings file in this folder");
    app.add_option("--trace", options.traceFile, "Write one line per platform action to this file");
    app.add_option("--sysfs", options.sysfsRoot, "Read the DRM and backlight tree from DIR instead of /sys");
    app.add_option("--advance", advance,
                   "Run time on after the command, e.g. 90m or 8d (simulated desk only)");

    app.add_flag("--json", options.json, "Print what the command reports as JSON");
    auto* agent =
        app.add_flag("--agent", options.agent, "Go through the running agent (brivio); fail when none runs");
    app.add_flag("--standalone", options.standalone,
                 "Drive the displays from this process even while the agent runs")
        ->excludes(agent);

    int verbosity = 0;
    app.add_flag("-v,--verbose", verbosity, "Log what the system does to stderr (-vv: with DDC/CI details)");

    CommandSet commands;
    addLevelCommands(app, commands);
    addAutomationCommands(app, commands);
    addLinuxCommands(app, commands);
    addDaylightCommands(app, commands);
    addDeviceCommands(app, commands);
    addModeCommands(app, commands);

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
    if (verbosity >= 2)
        Log::setLevel(LogLevel::debug);
    else if (verbosity == 1)
        Log::setLevel(LogLevel::info);
    else if (!std::getenv("BRIVIO_LOG"))
        Log::setLevel(LogLevel::error);

    CommandContext context(options);
    try {
        if (!advance.empty()) {
            if (!options.simFile)
                throw UsageError("--advance needs a simulated desk (--sim FILE)");
            options.advanceMs = parseDurationMs(advance);
        }
        const CommandSet::Runner* runner = commands.chosen();
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
