#include "platform/sim/SimState.h"

#include <cmath>

namespace brivio {

SimDisplay::SimDisplay(std::size_t index, ScenarioDisplay config, const MainLoop& loop)
    : index(index), config(std::move(config)), monitor(loop, this->config.ddc) {
    bounds = this->config.bounds;
    rotation = this->config.rotation;
    currentMode = this->config.currentMode;
    calibration = calibrationTables(this->config.calibration);
    gamma = calibration;
    if (this->config.nativeBrightness)
        nativeLevel = float(*this->config.nativeBrightness);
}

SimDisplay* SimState::connected(DisplayNumber number) const {
    for (auto& d : displays)
        if (d->connected && d->number == number)
            return d.get();
    return nullptr;
}

SimDisplay* SimState::lastWith(DisplayNumber number) const {
    if (number == 0)
        return nullptr;
    for (auto& d : displays)
        if (d->number == number)
            return d.get();
    return nullptr;
}

const std::string& SimState::keyOf(SimDisplay& display) {
    if (!display.cachedKey)
        display.cachedKey = computeKey ? computeKey(display) : display.config.name;
    return *display.cachedKey;
}

void SimState::record(std::string_view kind, SimDisplay* display, std::string_view details) {
    if (!trace.enabled())
        return;
    trace.record(kind, display ? std::string_view(keyOf(*display)) : std::string_view("-"), details);
}

GammaTables calibrationTables(const ScenarioCalibration& c) {
    GammaTables t;
    for (std::size_t i = 0; i < gammaTableSize; ++i) {
        double ramp = std::pow(double(i) / double(gammaTableSize - 1), c.gamma);
        t.red[i] = float(c.red * ramp);
        t.green[i] = float(c.green * ramp);
        t.blue[i] = float(c.blue * ramp);
    }
    return t;
}

} // namespace brivio
