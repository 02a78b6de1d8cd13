#include "AgentCalls.h"

#include "app/bus/BusNames.h"

#include <iostream>

namespace brivio::cli {

void rethrowAgentError(const sdbus::Error& error) {
    namespace errors = bus::errors;
    const std::string& name = error.getName();
    for (const char* typing : {errors::unknownDisplay, errors::unsupported, errors::outOfRange,
                               errors::invalidArgument, errors::notFound, errors::refused})
        if (name == typing)
            throw UsageError(error.getMessage());
    if (name.rfind("dev.brivio.Brivio.Error.", 0) == 0)
        throw std::runtime_error(error.getMessage());
    throw std::runtime_error("the agent did not answer: " + error.getMessage());
}

void printJson(const nlohmann::json& value) {
    std::cout << value.dump(2) << "\n";
}

} // namespace brivio::cli
