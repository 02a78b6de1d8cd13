#include "model/DisplayDriverError.h"

namespace brivio {

namespace {

std::string describe(DisplayDriverError::Kind kind, std::optional<DisplayControl> control) {
    switch (kind) {
    case DisplayDriverError::Kind::unsupportedControl:
        return "Unsupported control: " + std::string(toString(*control));
    case DisplayDriverError::Kind::communicationFailure:
        return "Driver communication failure";
    case DisplayDriverError::Kind::timeout:
        return "Driver timeout";
    case DisplayDriverError::Kind::notImplemented:
        return "Driver not implemented";
    }
    return {};
}

} // namespace

DisplayDriverError::DisplayDriverError(Kind kind, std::optional<DisplayControl> control)
    : kind_(kind), control_(control), description_(describe(kind, control)) {}

DisplayDriverError DisplayDriverError::unsupportedControl(DisplayControl control) {
    return {Kind::unsupportedControl, control};
}
DisplayDriverError DisplayDriverError::communicationFailure() {
    return {Kind::communicationFailure, std::nullopt};
}
DisplayDriverError DisplayDriverError::timeout() {
    return {Kind::timeout, std::nullopt};
}
DisplayDriverError DisplayDriverError::notImplemented() {
    return {Kind::notImplemented, std::nullopt};
}

} // namespace brivio
