#include "settings/ScheduleEditor.h"

#include <array>

namespace brivio {

std::string_view rawValue(TriggerKind kind) {
    static constexpr std::array<std::string_view, 3> raw{"Clock", "Sunrise", "Sunset"};
    return raw[static_cast<std::size_t>(kind)];
}

ScheduleDraft draftFrom(const PresetSchedule& schedule) {
    ScheduleDraft draft;
    draft.presetID = schedule.presetID;
    draft.days = std::set<int>(schedule.days.begin(), schedule.days.end());
    switch (schedule.trigger.kind) {
    case ScheduleTriggerKind::clockTime:
        draft.kind = TriggerKind::clock;
        draft.hour = schedule.trigger.hour;
        draft.minute = schedule.trigger.minute;
        break;
    case ScheduleTriggerKind::sunrise:
        draft.kind = TriggerKind::sunrise;
        break;
    case ScheduleTriggerKind::sunset:
        draft.kind = TriggerKind::sunset;
        break;
    }
    return draft;
}

std::optional<PresetSchedule> saveDraft(const ScheduleDraft& draft,
                                        const std::optional<PresetSchedule>& editing) {
    if (!draft.presetID)
        return std::nullopt;
    ScheduleTrigger trigger;
    switch (draft.kind) {
    case TriggerKind::clock:
        trigger = ScheduleTrigger::clockTime(draft.hour, draft.minute);
        break;
    case TriggerKind::sunrise:
        trigger = ScheduleTrigger::sunrise(0);
        break;
    case TriggerKind::sunset:
        trigger = ScheduleTrigger::sunset(0);
        break;
    }
    PresetSchedule schedule{editing ? editing->id : Uuid::random(), *draft.presetID,
                            editing ? editing->isEnabled : true, trigger,
                            std::vector<int>(draft.days.begin(), draft.days.end())};
    return schedule;
}

} // namespace brivio
