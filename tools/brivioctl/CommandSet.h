#pragma once
// The command line's commands, each a subcommand with the function that runs it. Groups of commands
// add themselves in their own files; main() parses, finds the chosen one and runs it.

#include "Session.h"
#include "app/bus/AgentClient.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <vector>

namespace brivio::cli {

// What a running command may use: the global options, the running agent, and the session, opened on
// first use so that commands that need no desk (for example reading a file) do not start one.
class CommandContext {
public:
    explicit CommandContext(const GlobalOptions& options) : options_(options) {}
    const GlobalOptions& options() const { return options_; }
    // The agent that owns the displays (of this desktop, or of the --sim scenario), when one runs and
    // the options leave the choice open; null otherwise. --sysfs, --config, --trace and --advance
    // describe a desk of this run's own, and so does --standalone. With --agent and no agent running,
    // or with one of those options, it throws.
    bus::AgentClient* agent();
    // The session; the first call opens it for `scope`.
    Session& session(const DisplayScope& scope = {});
    bool hasSession() const { return session_ != nullptr; }
    // Runs time on after the command (--advance), then writes settings and restores software dimming.
    void close();
    // After an error: nothing the run changed in the settings is written.
    void abandon();

private:
    const GlobalOptions& options_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<bus::AgentClient> agent_;
    bool agentLooked_ = false;
};

class CommandSet {
public:
    using Runner = std::function<int(CommandContext&)>;

    // Adds a subcommand of `app` whose run is `runner`. The subcommand's options must point at
    // storage that lives as long as the set (capture shared state in the runner).
    CLI::App* add(CLI::App& app, const std::string& name, const std::string& description, Runner runner);
    // The runner of the parsed subcommand; null when none was chosen.
    const Runner* chosen() const;

private:
    std::vector<std::pair<CLI::App*, Runner>> commands_;
};

void addLevelCommands(CLI::App& app, CommandSet& commands);
void addAutomationCommands(CLI::App& app, CommandSet& commands);
// edid and doctor: what this machine's monitors say and whether their buses can be reached.
void addLinuxCommands(CLI::App& app, CommandSet& commands);
void addDaylightCommands(CLI::App& app, CommandSet& commands);
void addDeviceCommands(CLI::App& app, CommandSet& commands);

} // namespace brivio::cli
