#pragma once
// The error drivers throw when a value cannot be read or written.

#include "model/DisplayControl.h"

#include <exception>
#include <optional>
#include <string>

namespace brivio {

class DisplayDriverError : public std::exception {
public:
    enum class Kind { unsupportedControl, communicationFailure, timeout, notImplemented };

    static DisplayDriverError unsupportedControl(DisplayControl control);
    static DisplayDriverError communicationFailure();
    static DisplayDriverError timeout();
    static DisplayDriverError notImplemented();

    Kind kind() const { return kind_; }
    // The control a driver cannot serve; present only for `unsupportedControl`.
    std::optional<DisplayControl> control() const { return control_; }
    const char* what() const noexcept override { return description_.c_str(); }

    bool operator==(const DisplayDriverError& other) const {
        return kind_ == other.kind_ && control_ == other.control_;
    }

private:
    DisplayDriverError(Kind kind, std::optional<DisplayControl> control);

    Kind kind_;
    std::optional<DisplayControl> control_;
    std::string description_;
};

} // namespace brivio
