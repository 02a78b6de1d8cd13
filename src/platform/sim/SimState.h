#pragma once
// The displays of one simulated desk and what every simulated service shares: the loop, the trace,
// and how a display is named in the trace (its stable key).

#include "base/MainLoop.h"
#include "platform/WindowServer.h"
#include "platform/sim/DDCMonitor.h"
#include "platform/sim/Scenario.h"
#include "platform/sim/Trace.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

struct SimDisplay {
    SimDisplay(std::size_t index, ScenarioDisplay config, const MainLoop& loop);

    std::size_t index;
    ScenarioDisplay config;
    bool connected = false;
    DisplayNumber number = 0; // the current number, or the last one while unplugged (0: never plugged)
    Rect bounds;
    double rotation = 0;
    std::size_t currentMode = 0;
    GammaTables calibration;
    GammaTables gamma;
    std::optional<float> nativeLevel;
    int failedNativeReads = 0; // the backlight's next reads that fail
    DDCMonitor monitor;
    std::optional<std::string> cachedKey;
};

struct SimState {
    explicit SimState(MainLoop& loop) : loop(loop), trace(loop, loop.now()) {}

    MainLoop& loop;
    Trace trace;
    std::vector<std::unique_ptr<SimDisplay>> displays;
    std::function<std::string(const SimDisplay&)> computeKey;
    // Called after any display's gamma tables changed (to keep a record that outlives the run).
    std::function<void()> gammaChanged;

    // The connected display with this number.
    SimDisplay* connected(DisplayNumber number) const;
    // The display that has, or last had, this number.
    SimDisplay* lastWith(DisplayNumber number) const;
    const std::string& keyOf(SimDisplay& display);
    // A trace line about `display` ("-" stands for the key when there is none).
    void record(std::string_view kind, SimDisplay* display, std::string_view details);
    void noteGammaChanged() const {
        if (gammaChanged)
            gammaChanged();
    }
};

// The identity ramp scaled per channel and shaped by the calibration's exponent.
GammaTables calibrationTables(const ScenarioCalibration& calibration);

} // namespace brivio
