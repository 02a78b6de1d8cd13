#include "schedule/CivilCalendar.h"

#include <date/tz.h>
#include <fmt/format.h>
#include <stdexcept>

namespace brivio {

namespace {

date::year_month_day toYmd(const CivilDate& d) {
    return date::year{d.year} / date::month{static_cast<unsigned>(d.month)} /
           date::day{static_cast<unsigned>(d.day)};
}

CivilDate fromYmd(const date::year_month_day& ymd) {
    return {int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day()))};
}

// Far enough for any calendar question asked here, near enough that no arithmetic overflows.
bool inRange(const CivilDate& d) {
    return d.year >= 1 && d.year <= 9999;
}

} // namespace

CivilCalendar::CivilCalendar(const std::string& zoneName) {
    try {
        zone_ = date::locate_zone(zoneName);
    } catch (const std::exception&) {
        zone_ = nullptr;
    }
}

bool CivilCalendar::isValid(const CivilDate& d) {
    return inRange(d) && d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31 && toYmd(d).ok();
}

std::optional<CivilDate> CivilCalendar::dateOf(WallTime t) const {
    if (!zone_)
        return std::nullopt;
    try {
        auto local = zone_->to_local(t);
        auto date = fromYmd(date::year_month_day{date::floor<date::days>(local)});
        if (!inRange(date))
            return std::nullopt;
        return date;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<WallTime> CivilCalendar::localTime(const CivilDate& d, int hour, int minute) const {
    if (!zone_ || !isValid(d) || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    try {
        date::local_seconds local =
            date::local_days{toYmd(d)} + std::chrono::hours{hour} + std::chrono::minutes{minute};
        // For a skipped time both choices give the instant of the jump; for a repeated one, the first.
        return WallTime{zone_->to_sys(local, date::choose::earliest)};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<WallTime> CivilCalendar::startOfMinute(WallTime t) const {
    if (!zone_)
        return std::nullopt;
    try {
        auto info = zone_->get_info(date::floor<std::chrono::seconds>(t));
        // Offsets are whole minutes in every zone in use; the local minute starts where UTC's does,
        // shifted by the offset's seconds for the odd historical zone.
        auto local = t + info.offset;
        auto minuteStart = date::floor<std::chrono::minutes>(local);
        return WallTime{minuteStart - info.offset};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> CivilCalendar::dayKey(WallTime t) const {
    auto d = dateOf(t);
    if (!d)
        return std::nullopt;
    return fmt::format("{}-{}-{}", d->year, d->month, d->day);
}

int CivilCalendar::weekday(const CivilDate& d) {
    return int(date::weekday{date::sys_days{toYmd(d)}}.c_encoding());
}

CivilDate CivilCalendar::addDays(const CivilDate& d, int days) {
    return fromYmd(date::year_month_day{date::sys_days{toYmd(d)} + date::days{days}});
}

} // namespace brivio
