#pragma once
// Sunrise and sunset of a civil day at a place: the NOAA approximation evaluated once per day at 0 h UT
// (equation of time and declination from Julian centuries, zenith 90.833 degrees).

#include "platform/WallClock.h"
#include "schedule/CivilCalendar.h"

#include <optional>
#include <string>

namespace brivio {

// Both present, or both absent (polar day or night, or a day that cannot be formed).
struct SolarTimes {
    std::optional<WallTime> sunrise;
    std::optional<WallTime> sunset;
    bool operator==(const SolarTimes&) const = default;
};

class SolarCalculator {
public:
    // `date` is any instant of the wanted day in `timeZone` (an IANA name); latitude and longitude in
    // degrees, north and east positive.
    static SolarTimes compute(WallTime date, double latitude, double longitude, const std::string& timeZone);
    static SolarTimes compute(WallTime date, double latitude, double longitude,
                              const CivilCalendar& calendar);
    static SolarTimes compute(const CivilDate& day, double latitude, double longitude);

    // Julian Day at 0 h UT of a Gregorian date.
    static double julianDay(int year, int month, int day);
};

} // namespace brivio
