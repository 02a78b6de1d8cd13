#pragma once
// The interface of the brightness drivers (DDC/CI, the system brightness service, overlay dimming).
// Drivers are long-lived objects owned by the controller; every member runs on the main thread.

#include "base/Task.h"
#include "model/DisplayCapabilities.h"
#include "model/DisplayControl.h"
#include "model/DisplayDriverKind.h"
#include "model/ManagedDisplay.h"

namespace brivio {

class DisplayDriver {
public:
    DisplayDriver() = default;
    DisplayDriver(const DisplayDriver&) = delete;
    DisplayDriver& operator=(const DisplayDriver&) = delete;
    virtual ~DisplayDriver() = default;

    virtual DisplayDriverKind kind() const = 0;

    // The display is taken by value: these coroutines outlive the call, a reference could dangle.
    // Callers bind the display to a variable first: g++ 12 destroys a brace-initialised temporary
    // written inside a co_await expression twice.

    // What this driver can offer for the display.
    virtual Task<DisplayCapabilities> probeCapabilities(ManagedDisplay display) = 0;
    // The current value as a fraction in [0, 1]; throws DisplayDriverError when it cannot be read.
    virtual Task<double> readValue(DisplayControl control, ManagedDisplay display) = 0;
    // Applies a fraction in [0, 1]; throws DisplayDriverError::unsupportedControl for a control the
    // driver cannot serve, and other DisplayDriverErrors on failure.
    virtual Task<void> writeValue(double value, DisplayControl control, ManagedDisplay display) = 0;
};

} // namespace brivio
