#pragma once
// A schedule: apply one global preset at a trigger's moment on chosen weekdays.

#include "settings/KeyValueStore.h"
#include "settings/ScheduleTrigger.h"
#include "settings/Uuid.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brivio {

inline constexpr std::size_t maxScheduleCount = 5;

// Weekday numbers: 0 Sunday ... 6 Saturday. A day list is a set in meaning; other numbers never match.
std::vector<int> allWeekdays();
// "S", "M", "T", "W", "T", "F", "S" for 0-6 (the editor's toggles, Sunday first); "" otherwise.
std::string_view dayLetter(int weekday);

struct PresetSchedule {
    Uuid id;
    Uuid presetID; // not checked against the presets; a schedule whose preset is gone never fires
    bool isEnabled = true;
    ScheduleTrigger trigger;
    std::vector<int> days = allWeekdays();

    // "Every day", "Weekdays", "Weekend", or the letters of the days in order ("M W F").
    std::string daysSummary() const;

    friend bool operator==(const PresetSchedule&, const PresetSchedule&) = default;
};

// The row's help text: "Tap to disable" while enabled, "Tap to enable" while disabled.
std::string_view toggleHelpText(bool isEnabled);

// The stored JSON array. Decoding is all or nothing: absent when any element is malformed.
std::optional<StoredData> encodeScheduleList(const std::vector<PresetSchedule>& schedules);
std::optional<std::vector<PresetSchedule>> decodeScheduleList(const StoredData& data);

} // namespace brivio
