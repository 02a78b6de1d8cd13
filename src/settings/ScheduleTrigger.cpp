#include "settings/ScheduleTrigger.h"

#include "settings/RecordJson.h"

#include <array>
#include <ctime>
#include <fmt/format.h>
#include <langinfo.h>

namespace brivio {

namespace {

constexpr std::array<std::string_view, 3> kindRawValues{"clockTime", "sunrise", "sunset"};

bool localeUsesTwelveHours() {
    std::string_view format = nl_langinfo(T_FMT);
    std::string_view am = nl_langinfo(AM_STR);
    bool twelve = format.find("%I") != format.npos || format.find("%l") != format.npos ||
                  format.find("%r") != format.npos || format.find("%p") != format.npos;
    return twelve && !am.empty();
}

std::string offsetLabel(const char* atEvent, const char* event, int offset) {
    if (offset == 0)
        return atEvent;
    return fmt::format("{} {}{} min", event, offset >= 1 ? "+" : "", offset);
}

} // namespace

std::string_view rawValue(ScheduleTriggerKind kind) {
    return kindRawValues[static_cast<std::size_t>(kind)];
}

std::optional<ScheduleTriggerKind> scheduleTriggerKindFromRawValue(std::string_view raw) {
    for (std::size_t i = 0; i < kindRawValues.size(); ++i)
        if (kindRawValues[i] == raw)
            return static_cast<ScheduleTriggerKind>(i);
    return std::nullopt;
}

bool operator==(const ScheduleTrigger& a, const ScheduleTrigger& b) {
    if (a.kind != b.kind)
        return false;
    if (a.kind == ScheduleTriggerKind::clockTime)
        return a.hour == b.hour && a.minute == b.minute;
    return a.offsetMinutes == b.offsetMinutes;
}

std::string shortTimeText(int hour, int minute) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        hour = local.tm_hour;
        minute = local.tm_min;
    }
    if (!localeUsesTwelveHours())
        return fmt::format("{:02}:{:02}", hour, minute);
    int h12 = hour % 12 == 0 ? 12 : hour % 12;
    return fmt::format("{}:{:02} {}", h12, minute, nl_langinfo(hour < 12 ? AM_STR : PM_STR));
}

std::string ScheduleTrigger::label() const {
    switch (kind) {
    case ScheduleTriggerKind::clockTime:
        return shortTimeText(hour, minute);
    case ScheduleTriggerKind::sunrise:
        return offsetLabel("At sunrise", "Sunrise", offsetMinutes);
    case ScheduleTriggerKind::sunset:
        return offsetLabel("At sunset", "Sunset", offsetMinutes);
    }
    return {};
}

nlohmann::json encodeTrigger(const ScheduleTrigger& trigger) {
    nlohmann::json object{{"type", rawValue(trigger.kind)}};
    if (trigger.kind == ScheduleTriggerKind::clockTime) {
        object["hour"] = trigger.hour;
        object["minute"] = trigger.minute;
    } else {
        object["offsetMinutes"] = trigger.offsetMinutes;
    }
    return object;
}

std::optional<ScheduleTrigger> decodeTrigger(const nlohmann::json& object) {
    if (!object.is_object())
        return std::nullopt;
    auto type = jsonString(object, "type");
    auto kind = type ? scheduleTriggerKindFromRawValue(*type) : std::nullopt;
    if (!kind)
        return std::nullopt;
    if (*kind == ScheduleTriggerKind::clockTime) {
        auto hour = jsonInt(object, "hour");
        auto minute = jsonInt(object, "minute");
        if (!hour || !minute)
            return std::nullopt;
        return ScheduleTrigger::clockTime(*hour, *minute);
    }
    auto offset = jsonInt(object, "offsetMinutes");
    if (!offset)
        return std::nullopt;
    return ScheduleTrigger{*kind, 0, 0, *offset};
}

} // namespace brivio
