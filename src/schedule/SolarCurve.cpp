#include "schedule/SolarCurve.h"

#include <cmath>

namespace brivio {

std::optional<double> SolarCurve::level(WallTime now, const SolarTimes& times, double night, double day) {
    if (!times.sunrise || !times.sunset || *times.sunset <= *times.sunrise)
        return std::nullopt;
    if (now <= *times.sunrise || now >= *times.sunset)
        return night;
    using Seconds = std::chrono::duration<double>;
    double elapsed = Seconds(now - *times.sunrise).count();
    double length = Seconds(*times.sunset - *times.sunrise).count();
    return night + (day - night) * std::sin(3.141592653589793 * elapsed / length);
}

std::optional<WallTime> SolarCurve::nextSunrise(WallTime now, const std::optional<GeoCoordinate>& position,
                                                const CivilCalendar& calendar) {
    auto today = calendar.dateOf(now);
    if (!position || !today)
        return std::nullopt;
    auto todays = SolarCalculator::compute(*today, position->latitude, position->longitude);
    if (todays.sunrise && *todays.sunrise > now)
        return todays.sunrise;
    return SolarCalculator::compute(CivilCalendar::addDays(*today, 1), position->latitude,
                                    position->longitude)
        .sunrise;
}

WallTime SolarCurve::pauseTarget(WallTime now, const std::optional<GeoCoordinate>& position,
                                 const CivilCalendar& calendar) {
    return nextSunrise(now, position, calendar).value_or(now + fallbackPause);
}

} // namespace brivio
