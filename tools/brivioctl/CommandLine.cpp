#include "CommandLine.h"

#include "ModeCommands.h"
#include "app/ProgramReference.h"

namespace brivio::cli {

CommandLine::CommandLine()
    : app("brivioctl: control every display of this desktop (brightness, contrast, volume and more)") {
    app.require_subcommand(1);
    app.fallthrough();
    app.add_option("--sim", options.simFile, "Run on the simulated desk described by this scenario file")
        ->type_name("FILE");
    app.add_option("--config", options.configDir, "Keep the settings file in this folder")->type_name("DIR");
    app.add_option("--trace", options.traceFile, "Write one line per platform action to this file")
        ->type_name("FILE");
    app.add_option("--sysfs", options.sysfsRoot, "Read the DRM and backlight tree from DIR instead of /sys")
        ->type_name("DIR");
    app.add_option("--advance", advance,
                   "Run time on after the command, e.g. 90m or 8d (simulated desk only)")
        ->type_name("DURATION");
    app.add_flag("--json", options.json, "Print what the command reports as JSON");
    auto* agent =
        app.add_flag("--agent", options.agent, "Go through the running agent (brivio); fail when none runs");
    app.add_flag("--standalone", options.standalone,
                 "Drive the displays from this process even while the agent runs")
        ->excludes(agent);
    app.add_flag("-v,--verbose", verbosity, "Log what the system does to stderr (-vv: with DDC/CI details)");
    app.footer(helpFooter(commandLineReference()));

    addLevelCommands(app, commands);
    addAutomationCommands(app, commands);
    addLinuxCommands(app, commands);
    addDaylightCommands(app, commands);
    addDeviceCommands(app, commands);
    addModeCommands(app, commands);
}

} // namespace brivio::cli
