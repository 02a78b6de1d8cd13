#include "schedule/CivilCalendar.h"

#include <date/date.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

WallTime utc(int y, int mo, int d, int h, int mi = 0) {
    return WallTime{date::sys_days{date::year{y} / mo / d} + std::chrono::hours{h} +
                    std::chrono::minutes{mi}};
}

TEST(CivilCalendar, DaysInTheUsersZone) {
    CivilCalendar la("America/Los_Angeles");
    EXPECT_EQ(la.dateOf(utc(2026, 3, 8, 5)), (CivilDate{2026, 3, 7})); // 21:00 the evening before
    EXPECT_EQ(la.dayKey(utc(2026, 3, 8, 5)), "2026-3-7");
    EXPECT_EQ(CivilCalendar::weekday({2026, 3, 7}), 6);
    EXPECT_EQ(CivilCalendar::addDays({2024, 3, 1}, -1), (CivilDate{2024, 2, 29}));
    EXPECT_EQ(la.localTime({2023, 2, 29}, 8, 0), std::nullopt);

    CivilCalendar none("No/Such_Zone");
    EXPECT_FALSE(none.valid());
    EXPECT_EQ(none.dateOf(utc(2024, 1, 1, 0)), std::nullopt);
}

} // namespace
} // namespace brivio
