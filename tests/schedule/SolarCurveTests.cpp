#include "schedule/SolarCurve.h"

#include <date/date.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

WallTime utc(int d, int h, int mi = 0) {
    return WallTime{date::sys_days{date::year{2024} / 6 / d} + std::chrono::hours{h} +
                    std::chrono::minutes{mi}};
}

TEST(SolarCurve, PauseLastsUntilTheNextSunrise) {
    CivilCalendar berlin("Europe/Berlin");
    GeoCoordinate here{52.52, 13.405};
    auto sunrise = *SolarCalculator::compute(CivilDate{2024, 6, 11}, 52.52, 13.405).sunrise;
    // 20:00 and 23:30 on the 10th, 00:30 (still the 10th in UTC) and 03:00 on the 11th: the 11th's.
    for (WallTime at : {utc(10, 18), utc(10, 21, 30), utc(10, 22, 30), utc(11, 1)})
        EXPECT_EQ(SolarCurve::pauseTarget(at, here, berlin), sunrise);
    // No position, or a sun that does not rise: a day.
    EXPECT_EQ(SolarCurve::pauseTarget(utc(10, 18), std::nullopt, berlin), utc(11, 18));
    EXPECT_EQ(SolarCurve::pauseTarget(utc(10, 18), GeoCoordinate{78, 15}, berlin), utc(11, 18));
    EXPECT_EQ(SolarCurve::level(utc(10, 12), SolarTimes{utc(10, 18), utc(10, 18)}, 0.3, 1), std::nullopt);
}

} // namespace
} // namespace brivio
