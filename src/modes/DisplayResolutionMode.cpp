#include "modes/DisplayResolutionMode.h"

#include <cmath>
#include <fmt/format.h>
#include <limits>

namespace brivio {

DisplayResolutionMode DisplayResolutionMode::fromPlatform(const PlatformMode& mode) {
    DisplayResolutionMode m;
    m.width = mode.width;
    m.height = mode.height;
    m.pixelWidth = mode.pixelWidth;
    m.pixelHeight = mode.pixelHeight;
    m.refreshRate = mode.refreshRate;
    m.isHiDPI = m.width < m.pixelWidth;
    m.cgMode = mode;
    return m;
}

std::int64_t wholeRefreshRate(double rate) {
    if (!std::isfinite(rate))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (rate >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (rate < -limit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(rate);
}

std::string DisplayResolutionMode::id() const {
    return fmt::format("{}x{}_{}x{}@{}", width, height, pixelWidth, pixelHeight,
                       wholeRefreshRate(refreshRate));
}

std::string DisplayResolutionMode::label() const {
    return fmt::format("{} \u00d7 {}{}", width, height, isHiDPI ? " HiDPI" : "");
}

} // namespace brivio
