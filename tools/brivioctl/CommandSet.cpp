#include "CommandSet.h"

namespace brivio::cli {

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
