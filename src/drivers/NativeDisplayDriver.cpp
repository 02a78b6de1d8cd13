#include "drivers/NativeDisplayDriver.h"

#include "base/Log.h"

#include <algorithm>
#include <cmath>

namespace brivio {

DisplayCapabilities NativeDisplayDriver::probe(const ManagedDisplay& display) {
    auto key = display.identity.stableKey();
    if (auto it = capabilityCache_.find(key); it != capabilityCache_.end())
        return it->second;
    DisplayCapabilities caps;
    caps.supportsOverlayDimming = true;
    float b = -1.0f;
    if (services_.getBrightness && services_.getBrightness(display.identity.cgID, b) == 0 && b >= 0) {
        logInfo(LogCategory::driver, "Native: probe {} → hardware brightness available",
                display.identity.modelName);
        caps.supportsHardwareBrightness = true;
    } else {
        logError(LogCategory::driver, "Native: no hardware path for {}", display.identity.modelName);
        caps.hardwareBrightnessFallbackReason = FallbackReason::nativeUnsupported;
    }
    capabilityCache_[key] = caps;
    return caps;
}

double NativeDisplayDriver::readBrightness(DisplayNumber display) const {
    float b = 1.0f;
    if (!services_.getBrightness)
        return 1.0;
    if (services_.getBrightness(display, b) == 0)
        return b <= 0 ? 0.0 : std::min<double>(b, 1.0);
    return b;
}

void NativeDisplayDriver::writeBrightness(DisplayNumber display, double value) const {
    if (!services_.setBrightness)
        return;
    // A level that is not a number would pass a clamp unchanged and reach the backlight as garbage.
    const double v = std::isnan(value) || value <= 0 ? 0.0 : std::min(value, 1.0);
    services_.setBrightness(display, static_cast<float>(v));
}

Task<DisplayCapabilities> NativeDisplayDriver::probeCapabilities(ManagedDisplay display) {
    co_return probe(display);
}

Task<double> NativeDisplayDriver::readValue(DisplayControl control, ManagedDisplay display) {
    if (control != DisplayControl::brightness)
        throw DisplayDriverError::unsupportedControl(control);
    co_return readBrightness(display.identity.cgID);
}

Task<void> NativeDisplayDriver::writeValue(double value, DisplayControl control, ManagedDisplay display) {
    if (control != DisplayControl::brightness)
        throw DisplayDriverError::unsupportedControl(control);
    writeBrightness(display.identity.cgID, value);
    co_return;
}

} // namespace brivio
