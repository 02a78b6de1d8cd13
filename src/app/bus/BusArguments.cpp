#include "app/bus/BusArguments.h"

#include <cmath>
#include <fmt/format.h>

namespace brivio::bus {

void refuse(const char* errorName, const std::string& message) {
    throw sdbus::Error(errorName, message);
}

DisplayControl controlNamed(const std::string& word) {
    // Mute is no level.
    if (auto control = parseDisplayControl(word); control && *control != DisplayControl::mute)
        return *control;
    refuse(errors::invalidArgument,
           fmt::format("'{}' is not a control: use brightness, contrast or volume", word));
}

double levelArgument(double value, const char* what) {
    if (!std::isfinite(value) || value < 0 || value > 1)
        refuse(errors::outOfRange, fmt::format("{} {} is out of range: levels go from 0 to 1", what, value));
    return value;
}

} // namespace brivio::bus
