#pragma once
// When in the day a schedule fires: a local clock time, or sunrise or sunset shifted by minutes.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace brivio {

enum class ScheduleTriggerKind { clockTime, sunrise, sunset };

// "clockTime", "sunrise", "sunset": the "type" of the stored trigger.
std::string_view rawValue(ScheduleTriggerKind kind);
std::optional<ScheduleTriggerKind> scheduleTriggerKindFromRawValue(std::string_view raw);

struct ScheduleTrigger {
    ScheduleTriggerKind kind = ScheduleTriggerKind::clockTime;
    int hour = 0;          // clock time, 0-23
    int minute = 0;        // clock time, 0-59
    int offsetMinutes = 0; // sunrise and sunset; positive is after the event

    static ScheduleTrigger clockTime(int hour, int minute) {
        return {ScheduleTriggerKind::clockTime, hour, minute, 0};
    }
    static ScheduleTrigger sunrise(int offsetMinutes) {
        return {ScheduleTriggerKind::sunrise, 0, 0, offsetMinutes};
    }
    static ScheduleTrigger sunset(int offsetMinutes) {
        return {ScheduleTriggerKind::sunset, 0, 0, offsetMinutes};
    }

    // The schedule row's text: a short local time ("08:00" or "8:00 AM"), "At sunrise", "Sunset -20 min".
    std::string label() const;

    // Only the fields of the kind take part.
    friend bool operator==(const ScheduleTrigger& a, const ScheduleTrigger& b);
};

// Short hour:minute text in the C library's current locale: 12-hour with its AM/PM words where the
// locale's time format is 12-hour, else "HH:MM". A time that is not a valid time of day shows the
// current local time.
std::string shortTimeText(int hour, int minute);

nlohmann::json encodeTrigger(const ScheduleTrigger& trigger);
// Reads "type", then only that case's keys; absent on an unknown type or a missing or mistyped key.
std::optional<ScheduleTrigger> decodeTrigger(const nlohmann::json& object);

} // namespace brivio
