#include "settings/PresetSchedule.h"

#include "settings/RecordJson.h"

#include <array>
#include <set>

namespace brivio {

namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 7> letters{"S", "M", "T", "W", "T", "F", "S"};

std::optional<PresetSchedule> decodeSchedule(const json& object) {
    if (!object.is_object())
        return std::nullopt;
    auto idText = jsonString(object, "id");
    auto presetText = jsonString(object, "presetID");
    auto enabled = object.find("isEnabled");
    auto trigger = object.find("trigger");
    auto days = object.find("days");
    if (!idText || !presetText || enabled == object.end() || !enabled->is_boolean() ||
        trigger == object.end() || days == object.end() || !days->is_array())
        return std::nullopt;
    auto id = Uuid::parse(*idText);
    auto presetID = Uuid::parse(*presetText);
    auto decodedTrigger = decodeTrigger(*trigger);
    if (!id || !presetID || !decodedTrigger)
        return std::nullopt;
    PresetSchedule schedule{*id, *presetID, enabled->get<bool>(), *decodedTrigger, {}};
    schedule.days.reserve(days->size());
    for (const auto& day : *days) {
        auto n = jsonInt(day);
        if (!n)
            return std::nullopt;
        schedule.days.push_back(*n);
    }
    return schedule;
}

} // namespace

std::vector<int> allWeekdays() {
    return {0, 1, 2, 3, 4, 5, 6};
}

std::string_view dayLetter(int weekday) {
    return weekday >= 0 && weekday < 7 ? letters[static_cast<std::size_t>(weekday)] : std::string_view{};
}

std::string PresetSchedule::daysSummary() const {
    // Numbers that name no day never match one, so they neither count toward a whole week nor get a letter.
    std::set<int> distinct;
    for (int day : days)
        if (day >= 0 && day < 7)
            distinct.insert(day);
    if (distinct.size() == 7)
        return "Every day";
    if (distinct == std::set<int>{1, 2, 3, 4, 5})
        return "Weekdays";
    if (distinct == std::set<int>{0, 6})
        return "Weekend";
    std::string summary;
    for (int day : distinct) {
        if (!summary.empty())
            summary += ' ';
        summary += dayLetter(day);
    }
    return summary;
}

std::string_view toggleHelpText(bool isEnabled) {
    return isEnabled ? "Tap to disable" : "Tap to enable";
}

std::optional<StoredData> encodeScheduleList(const std::vector<PresetSchedule>& schedules) {
    json array = json::array();
    for (const auto& s : schedules)
        array.push_back({{"id", s.id.toString()},
                         {"presetID", s.presetID.toString()},
                         {"isEnabled", s.isEnabled},
                         {"trigger", encodeTrigger(s.trigger)},
                         {"days", s.days}});
    return serializeRecordArray(array);
}

std::optional<std::vector<PresetSchedule>> decodeScheduleList(const StoredData& data) {
    auto array = parseRecordArray(data);
    if (!array)
        return std::nullopt;
    std::vector<PresetSchedule> schedules;
    schedules.reserve(array->size());
    for (const auto& element : *array) {
        auto schedule = decodeSchedule(element);
        if (!schedule)
            return std::nullopt;
        schedules.push_back(std::move(*schedule));
    }
    return schedules;
}

} // namespace brivio
