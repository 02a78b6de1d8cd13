#pragma once
// Checking what a bus client sent, for the agent's members: every refusal is a named D-Bus error with
// a message that says what was wrong, and any other failure inside a member becomes one too.

#include "app/bus/BusNames.h"
#include "model/DisplayControl.h"

#include <exception>
#include <sdbus-c++/Error.h>
#include <string>

namespace brivio::bus {

[[noreturn]] void refuse(const char* errorName, const std::string& message);

// Runs a member's body; an exception other than a D-Bus error becomes `errors::failed`, since one may
// not cross the bus library.
template <typename Body> auto guarded(Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const sdbus::Error&) {
        throw;
    } catch (const std::exception& e) {
        throw sdbus::Error(errors::failed, e.what());
    }
}

// "brightness", "contrast" or "volume".
DisplayControl controlNamed(const std::string& word);
// A level in [0, 1]; NaN, infinities and anything outside are refused, not clamped.
double levelArgument(double value, const char* what);

} // namespace brivio::bus
