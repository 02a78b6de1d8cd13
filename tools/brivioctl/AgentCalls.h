#pragma once
// How a command runs through the agent: the agent's refusals become the command line's own errors,
// a mistake in what was typed (exit status 2) or a failure (1), with the agent's message.

#include "Arguments.h"
#include "app/bus/AgentClient.h"
#include "app/bus/VariantJson.h"

#include <nlohmann/json.hpp>
#include <sdbus-c++/Error.h>
#include <stdexcept>
#include <string>

namespace brivio::cli {

// Rethrows an error of the agent as UsageError or std::runtime_error.
[[noreturn]] void rethrowAgentError(const sdbus::Error& error);

template <typename Body> int throughAgent(Body&& body) {
    try {
        return body();
    } catch (const sdbus::Error& e) {
        rethrowAgentError(e);
    }
}

// The reply of a member that answers a list of dictionaries (aa{sv}) or one (a{sv}), as JSON.
template <typename... Args>
nlohmann::json agentList(bus::AgentClient& agent, const char* interface, const char* method,
                         const Args&... args) {
    return bus::toJson(agent.get<std::vector<bus::VariantMap>>(interface, method, args...));
}
template <typename... Args>
nlohmann::json agentObject(bus::AgentClient& agent, const char* interface, const char* method,
                           const Args&... args) {
    return bus::toJson(agent.get<bus::VariantMap>(interface, method, args...));
}

// Indented, one value per run.
void printJson(const nlohmann::json& value);

} // namespace brivio::cli
