#include "CommandSet.h"

#include "Arguments.h"
#include "app/bus/BusNames.h"

#include <fmt/format.h>

namespace brivio::cli {

bus::AgentClient* CommandContext::agent() {
    if (agentLooked_)
        return agent_.get();
    agentLooked_ = true;
    if (options_.standalone)
        return nullptr;
    const char* own = options_.sysfsRoot   ? "--sysfs"
                      : options_.configDir ? "--config"
                      : options_.traceFile ? "--trace"
                      : options_.advanceMs ? "--advance"
                                           : nullptr;
    if (own) {
        if (options_.agent)
            throw UsageError(fmt::format("{} describes a desk of this run's own: leave out --agent", own));
        return nullptr;
    }
    std::string name = options_.simFile ? bus::simulatedServiceName(*options_.simFile) : bus::serviceName;
    std::string whyNot;
    agent_ = bus::AgentClient::find(name, std::nullopt, whyNot);
    if (!agent_ && options_.agent)
        throw std::runtime_error(
            fmt::format("no agent to go through ({}); start brivio{}, or leave out --agent", whyNot,
                        options_.simFile ? " --sim " + *options_.simFile : ""));
    return agent_.get();
}

Session& CommandContext::session(const DisplayScope& scope) {
    if (!session_)
        session_ = std::make_unique<Session>(options_, scope);
    return *session_;
}

void CommandContext::close() {
    if (!session_)
        return;
    if (options_.advanceMs > 0)
        session_->advance(options_.advanceMs);
    session_->close();
}

void CommandContext::abandon() {
    if (session_)
        session_->abandon();
}

CLI::App* CommandSet::add(CLI::App& app, const std::string& name, const std::string& description,
                          Runner runner) {
    auto* command = app.add_subcommand(name, description);
    commands_.emplace_back(command, std::move(runner));
    return command;
}

const CommandSet::Runner* CommandSet::chosen() const {
    for (auto& [command, runner] : commands_)
        if (command->parsed())
            return &runner;
    return nullptr;
}

} // namespace brivio::cli
