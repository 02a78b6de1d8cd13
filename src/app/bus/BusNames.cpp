#include "app/bus/BusNames.h"

#include <cctype>
#include <filesystem>

namespace brivio::bus {

std::string simulatedServiceName(const std::string& scenarioPath) {
    // A bus name element holds letters, digits and '_' and does not start with a digit.
    std::string element;
    for (char c : std::filesystem::path(scenarioPath).stem().string().substr(0, 64))
        element += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    if (element.empty() || std::isdigit(static_cast<unsigned char>(element.front())))
        element.insert(element.begin(), '_');
    return std::string(serviceName) + ".Sim." + element;
}

} // namespace brivio::bus
