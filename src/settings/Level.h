#pragma once
// Levels (brightness, contrast, volume, solar levels) are fractions in [0, 1] above the drivers.

namespace brivio {

// Below 0 gives 0, above 1 gives 1, and NaN gives 0 so that no level ever leaves the range.
constexpr double clampLevel(double value) {
    return value >= 0 ? (value <= 1 ? value : 1) : 0;
}

} // namespace brivio
