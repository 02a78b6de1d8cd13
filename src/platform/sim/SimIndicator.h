#pragma once
// The simulated brightness indicator: it remembers every show and traces it.

#include "platform/BrightnessIndicator.h"
#include "platform/sim/SimState.h"

#include <vector>

namespace brivio {

struct IndicatorShow {
    long long atMs = 0; // on the trace's clock
    DisplayNumber display = 0;
    int filled = 0;
    int total = 0;
    int msecUntilFade = 0;
    bool operator==(const IndicatorShow&) const = default;
};

class SimIndicator final : public BrightnessIndicator {
public:
    explicit SimIndicator(SimState& state) : state_(state), origin_(state.loop.now()) {}

    void show(DisplayNumber display, int filledChiclets, int totalChiclets, int msecUntilFade) override;
    const std::vector<IndicatorShow>& shows() const { return shows_; }

private:
    SimState& state_;
    TimePoint origin_;
    std::vector<IndicatorShow> shows_;
};

} // namespace brivio
