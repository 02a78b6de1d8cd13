#include "schedule/SolarCurve.h"

#include <date/date.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

WallTime utc(int d, int h, int mi = 0) {
    return WallTime{date::sys_days{date::year{2024} / 6 / d} + std::chrono::hours{h} +
                    std::chrono::minutes{mi}};
}

TEST(SolarCurve, HalfSineBetweenNightAndDay) {
    SolarTimes times{utc(10, 6), utc(10, 18)};
    struct Case {
        WallTime now;
        double night, day;
        std::optional<double> level;
    } cases[] = {
        {utc(10, 12), 0.3, 1.0, 1.0},
        {utc(10, 9), 0.3, 1.0, 0.3 + 0.7 * std::sqrt(0.5)},
        {utc(10, 15), 0.3, 1.0, 0.3 + 0.7 * std::sqrt(0.5)},
        {utc(10, 5), 0.3, 1.0, 0.3},
        {utc(10, 6), 0.3, 1.0, 0.3},
        {utc(10, 20), 0.3, 1.0, 0.3},
        {utc(10, 12), 0.8, 0.2, 0.2}, // the arch dips
    };
    for (const auto& c : cases) {
        auto level = SolarCurve::level(c.now, times, c.night, c.day);
        ASSERT_TRUE(level);
        EXPECT_NEAR(*level, *c.level, 1e-12);
    }
    EXPECT_EQ(SolarCurve::level(utc(10, 12), SolarTimes{}, 0.3, 1), std::nullopt);
    EXPECT_EQ(SolarCurve::level(utc(10, 12), SolarTimes{utc(10, 18), utc(10, 18)}, 0.3, 1), std::nullopt);
}

TEST(SolarCurve, PauseLastsUntilTheNextSunrise) {
    CivilCalendar berlin("Europe/Berlin");
    GeoCoordinate here{52.52, 13.405};
    auto sunrise = [&](int day) {
        return *SolarCalculator::compute(CivilDate{2024, 6, day}, 52.52, 13.405).sunrise;
    };
    // 20:00 and 23:30 local time: the next morning's; 00:30 (still 10 June in UTC) and 03:00: the same
    // morning's.
    EXPECT_EQ(SolarCurve::pauseTarget(utc(10, 18), here, berlin), sunrise(11));
    EXPECT_EQ(SolarCurve::pauseTarget(utc(10, 21, 30), here, berlin), sunrise(11));
    EXPECT_EQ(SolarCurve::pauseTarget(utc(10, 22, 30), here, berlin), sunrise(11));
    EXPECT_EQ(SolarCurve::pauseTarget(utc(11, 1), here, berlin), sunrise(11));
    // No position, or a sun that does not rise: a day.
    EXPECT_EQ(SolarCurve::pauseTarget(utc(10, 18), std::nullopt, berlin), utc(11, 18));
    EXPECT_EQ(SolarCurve::pauseTarget(utc(10, 18), GeoCoordinate{78, 15}, berlin), utc(11, 18));

    EXPECT_TRUE(SolarCurve::isPaused(utc(10, 18), utc(10, 19)));
    EXPECT_FALSE(SolarCurve::isPaused(utc(10, 19), utc(10, 19)));
    EXPECT_FALSE(SolarCurve::isPaused(utc(10, 19), std::nullopt));
}

} // namespace
} // namespace brivio
