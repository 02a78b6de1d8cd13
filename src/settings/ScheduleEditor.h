#pragma once
// The schedule editor's state and what saving it produces.

#include "settings/PresetSchedule.h"

#include <optional>
#include <set>
#include <string_view>

namespace brivio {

// The editor's trigger choice; its raw values are the picker's labels.
enum class TriggerKind { clock, sunrise, sunset };
std::string_view rawValue(TriggerKind kind); // "Clock", "Sunrise", "Sunset"

struct ScheduleDraft {
    std::optional<Uuid> presetID; // none chosen yet
    TriggerKind kind = TriggerKind::clock;
    int hour = 8; // the picked time, used for `clock`
    int minute = 0;
    std::set<int> days{0, 1, 2, 3, 4, 5, 6};
};

// The editor opened on a stored schedule; solar triggers keep the picker at 08:00.
ScheduleDraft draftFrom(const PresetSchedule& schedule);

// The record to upsert, or absent while no preset is chosen. A new schedule (no `editing`) gets a new id
// and is enabled; an edited one keeps its id and `isEnabled`. Solar triggers get offset 0 (the editor
// offers none), and the days are stored in ascending order.
std::optional<PresetSchedule> saveDraft(const ScheduleDraft& draft,
                                        const std::optional<PresetSchedule>& editing = std::nullopt);

} // namespace brivio
