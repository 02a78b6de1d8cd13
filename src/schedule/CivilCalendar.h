#pragma once
// The user's calendar: civil dates, weekdays and local clock times of instants in one IANA time zone.

#include "platform/WallClock.h"

#include <optional>
#include <string>

namespace date {
class time_zone;
}

namespace brivio {

struct CivilDate {
    int year = 1970;
    int month = 1; // 1-12
    int day = 1;   // 1-31
    bool operator==(const CivilDate&) const = default;
    auto operator<=>(const CivilDate&) const = default;
};

class CivilCalendar {
public:
    // An unknown zone name gives a calendar on which every query fails (returns nothing).
    explicit CivilCalendar(const std::string& zoneName);

    bool valid() const { return zone_ != nullptr; }

    std::optional<CivilDate> dateOf(WallTime t) const;
    // The first instant on day `d` whose local clock reads hour:minute:00. A time skipped by a
    // forward clock shift resolves to the instant the clocks jumped (the next existing time); a time
    // that occurs twice resolves to its first occurrence.
    std::optional<WallTime> localTime(const CivilDate& d, int hour, int minute) const;
    // The start of the minute that contains `t` on the local clock.
    std::optional<WallTime> startOfMinute(WallTime t) const;

    // "2026-3-7": the day of `t` in decimal without leading zeros.
    std::optional<std::string> dayKey(WallTime t) const;

    // 0 = Sunday ... 6 = Saturday. Pure date arithmetic, valid for any calendar.
    static int weekday(const CivilDate& d);
    static CivilDate addDays(const CivilDate& d, int days);
    static bool isValid(const CivilDate& d);

private:
    const date::time_zone* zone_ = nullptr;
};

} // namespace brivio
