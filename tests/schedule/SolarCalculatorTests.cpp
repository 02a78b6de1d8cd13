#include "schedule/SolarCalculator.h"

#include <date/date.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

WallTime solarUtc(int y, int mo, int d, int h, int mi = 0) {
    return WallTime{date::sys_days{date::year{y} / mo / d} + std::chrono::hours{h} +
                    std::chrono::minutes{mi}};
}

// Instants are kept to the nanosecond; the figures compared here are rounded to the nearest second.
std::string utcSecond(std::optional<WallTime> t) {
    return t ? date::format("%F %T", std::chrono::round<std::chrono::seconds>(*t)) : "absent";
}

TEST(SolarCalculator, JulianDay) {
    EXPECT_EQ(SolarCalculator::julianDay(2000, 1, 1), 2451544.5);
    EXPECT_NEAR((SolarCalculator::julianDay(2000, 1, 1) - 2451545.0) / 36525.0, -0.0000136893, 1e-10);
    EXPECT_EQ(SolarCalculator::julianDay(2024, 2, 29) + 1, SolarCalculator::julianDay(2024, 3, 1));
    EXPECT_EQ(SolarCalculator::julianDay(1900, 2, 28) + 1, SolarCalculator::julianDay(1900, 3, 1));
}

// Beyond the two reference days, the figures agree with an independent implementation to within 2 s.
TEST(SolarCalculator, KnownDays) {
    struct Case {
        const char* zone;
        WallTime instant;
        double lat, lon;
        const char* sunrise;
        const char* sunset;
    } cases[] = {
        {"UTC", solarUtc(2024, 3, 20, 12), 0, 0, "2024-03-20 06:04:06", "2024-03-20 18:10:46"},
        {"Europe/Berlin", solarUtc(2024, 6, 21, 10), 52.52, 13.405, "2024-06-21 02:43:09",
         "2024-06-21 19:33:14"},
        {"Arctic/Longyearbyen", solarUtc(2024, 6, 25, 12), 78, 15.6, "absent", "absent"},  // polar day
        {"Arctic/Longyearbyen", solarUtc(2024, 12, 22, 12), 78, 15.6, "absent", "absent"}, // polar night
        // 22:30 in Los Angeles is the next UTC day, yet the local day counts; its sunset falls after
        // 0:00 UTC.
        {"America/Los_Angeles", solarUtc(2024, 6, 22, 5, 30), 34.05, -118.24, "2024-06-21 12:42:02",
         "2024-06-22 03:07:31"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zone);
        auto times = SolarCalculator::compute(c.instant, c.lat, c.lon, c.zone);
        EXPECT_EQ(utcSecond(times.sunrise), c.sunrise);
        EXPECT_EQ(utcSecond(times.sunset), c.sunset);
    }
    EXPECT_EQ(SolarCalculator::compute(CivilDate{2023, 2, 29}, 0, 0), SolarTimes{});
    EXPECT_EQ(SolarCalculator::compute(CivilDate{2024, 3, 20}, 95, 0), SolarTimes{});
}

} // namespace
} // namespace brivio
