#include "schedule/CivilCalendar.h"

#include <date/date.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

std::string utcText(std::optional<WallTime> t) {
    return t ? date::format("%F %T", std::chrono::floor<std::chrono::seconds>(*t)) : "absent";
}

TEST(CivilCalendar, LocalTimesAcrossClockShifts) {
    CivilCalendar berlin("Europe/Berlin");
    struct Case {
        CivilDate day;
        int hour, minute;
        const char* utc;
    } cases[] = {
        {{2024, 3, 31}, 2, 30, "2024-03-31 01:00:00"}, // skipped: the instant the clocks jumped to 03:00
        {{2024, 3, 31}, 3, 0, "2024-03-31 01:00:00"},
        {{2024, 10, 27}, 2, 30, "2024-10-27 00:30:00"}, // repeated: the first, summer-time occurrence
        {{2024, 10, 27}, 3, 0, "2024-10-27 02:00:00"},
        {{2024, 7, 1}, 0, 0, "2024-06-30 22:00:00"},
        {{2023, 2, 29}, 8, 0, "absent"},
        {{2024, 7, 1}, 24, 0, "absent"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utcText(berlin.localTime(c.day, c.hour, c.minute)), c.utc) << c.hour << ":" << c.minute;

    // A day that begins at 01:00 because midnight was skipped.
    CivilCalendar havana("America/Havana");
    EXPECT_EQ(utcText(havana.startOfDay({2024, 3, 10})), "2024-03-10 05:00:00");
}

TEST(CivilCalendar, DatesKeysAndWeekdays) {
    CivilCalendar la("America/Los_Angeles");
    WallTime evening{date::sys_days{date::year{2026} / 3 / 8} + std::chrono::hours{5}}; // 7 March, 21:00
    EXPECT_EQ(la.dateOf(evening), (CivilDate{2026, 3, 7}));
    EXPECT_EQ(la.dayKey(evening), "2026-3-7");
    EXPECT_EQ(CivilCalendar::weekday({2026, 3, 7}), 6);
    EXPECT_EQ(CivilCalendar::weekday({2000, 1, 2}), 0);
    EXPECT_EQ(CivilCalendar::addDays({2024, 3, 1}, -1), (CivilDate{2024, 2, 29}));
    EXPECT_EQ(CivilCalendar::addDays({2024, 12, 31}, 1), (CivilDate{2025, 1, 1}));

    CivilCalendar none("No/Such_Zone");
    EXPECT_FALSE(none.valid());
    EXPECT_EQ(none.dateOf(evening), std::nullopt);
    EXPECT_EQ(none.localTime({2024, 1, 1}, 8, 0), std::nullopt);
}

TEST(CivilCalendar, MinuteStartInHalfHourZone) {
    WallTime t{date::sys_days{date::year{2024} / 5 / 1} + std::chrono::seconds{3725} +
               std::chrono::milliseconds{7}};
    EXPECT_EQ(utcText(CivilCalendar("Asia/Kolkata").startOfMinute(t)), "2024-05-01 01:02:00");
}

} // namespace
} // namespace brivio
