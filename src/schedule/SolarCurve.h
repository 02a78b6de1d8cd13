#pragma once
// Brightness that follows the sun: the night level while the sun is down, a half-sine arch up to the
// day level at solar noon. A preset or a manual change pauses it until the next sunrise.

#include "platform/LocationService.h"
#include "schedule/CivilCalendar.h"
#include "schedule/SolarCalculator.h"

#include <optional>

namespace brivio {

class SolarCurve {
public:
    static constexpr auto transition = std::chrono::milliseconds{1500};
    static constexpr auto fallbackPause = std::chrono::hours{24};

    // The level at `now`; nothing without both times or when sunset is not after sunrise. A day level
    // below the night level makes the arch dip instead.
    static std::optional<double> level(WallTime now, const SolarTimes& times, double night, double day);

    static bool isPaused(WallTime now, std::optional<WallTime> pausedUntil) {
        return pausedUntil && now < *pausedUntil;
    }
    // Today's sunrise if it is still ahead, else tomorrow's; nothing without a position or when the
    // sun does not rise tomorrow.
    static std::optional<WallTime> nextSunrise(WallTime now, const std::optional<GeoCoordinate>& position,
                                               const CivilCalendar& calendar);
    // The end of a pause begun at `now`: the next sunrise, else 24 hours on.
    static WallTime pauseTarget(WallTime now, const std::optional<GeoCoordinate>& position,
                                const CivilCalendar& calendar);
};

} // namespace brivio
