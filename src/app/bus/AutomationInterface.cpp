// The agent's Automation1 interface: presets, schedules, the solar curve and the position it follows,
// through the same store and controller operations as the panel's preset and schedule cards.

#include "app/StatusJson.h"
#include "app/bus/AgentBusService.h"
#include "app/bus/BusArguments.h"
#include "app/bus/VariantJson.h"
#include "schedule/CivilCalendar.h"
#include "schedule/SolarCalculator.h"
#include "settings/PresetEditing.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fmt/format.h>
#include <sdbus-c++/sdbus-c++.h>
#include <tuple>

namespace brivio::bus {

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<std::size_t> listNumber(const std::string& word) {
    std::size_t n = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return n;
}

ScheduleTrigger triggerArgument(const std::string& when) {
    auto trigger = status::parseTriggerWord(when);
    if (!trigger)
        refuse(
            errors::invalidArgument,
            fmt::format("'{}' is not a moment: use HH:MM, sunrise, sunset, sunrise+MIN or sunset-MIN", when));
    return *trigger;
}

std::vector<int> daysArgument(std::vector<std::int32_t> days) {
    if (days.empty())
        refuse(errors::invalidArgument, "a schedule needs at least one day (0 is Sunday, 6 Saturday)");
    for (int day : days)
        if (day < 0 || day > 6)
            refuse(errors::outOfRange, fmt::format("{} is not a day: use 0 (Sunday) to 6 (Saturday)", day));
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return {days.begin(), days.end()};
}

std::optional<double> optionalLevel(const std::map<std::string, double>& levels, const char* name) {
    auto it = levels.find(name);
    if (it == levels.end())
        return std::nullopt;
    return levelArgument(it->second, name);
}

CivilDate dateArgument(const std::string& word) {
    auto field = [&](std::size_t at, std::size_t length) {
        int v = 0;
        auto [end, ec] = std::from_chars(word.data() + at, word.data() + at + length, v);
        return ec == std::errc() && end == word.data() + at + length ? v : -1;
    };
    if (word.size() == 10 && word[4] == '-' && word[7] == '-') {
        CivilDate d{field(0, 4), field(5, 2), field(8, 2)};
        if (d.year >= 0 && CivilCalendar::isValid(d))
            return d;
    }
    refuse(errors::invalidArgument, fmt::format("'{}' is not a date: use YYYY-MM-DD, or '' for today", word));
}

} // namespace

BrightnessPreset AgentBusService::presetNamed(const std::string& word) {
    auto presets = services_.preferences().globalPresets();
    if (auto id = Uuid::parse(word))
        for (const auto& p : presets)
            if (p.id == *id)
                return p;
    for (const auto& p : presets)
        if (p.name == word)
            return p;
    for (const auto& p : presets)
        if (lowercase(p.name) == lowercase(word))
            return p;
    if (auto n = listNumber(word); n && *n >= 1 && *n <= presets.size())
        return presets[*n - 1];
    refuse(errors::notFound, fmt::format("'{}' is not a preset: give its id, name or number", word));
}

PresetSchedule AgentBusService::scheduleNamed(const std::string& word) {
    const auto& list = services_.preferences().scheduleList();
    if (auto id = Uuid::parse(word))
        for (const auto& s : list)
            if (s.id == *id)
                return s;
    if (auto n = listNumber(word); n && *n >= 1 && *n <= list.size())
        return list[*n - 1];
    refuse(errors::notFound, fmt::format("'{}' is not a schedule: give its id or number", word));
}

void AgentBusService::registerAutomation() {
    const char* I = automationInterface;

    // Presets.
    object_->registerMethod("ListPresets")
        .onInterface(I)
        .withOutputParamNames("presets")
        .implementedAs([this] {
            return guarded([&] { return toVariantMaps(status::presets(services_.preferences())); });
        });
    object_->registerMethod("ApplyPreset")
        .onInterface(I)
        .withInputParamNames("preset")
        .implementedAs([this](const std::string& word) {
            guarded([&] { services_.controller().applyPreset(presetNamed(word)); });
        });
    object_->registerMethod("SavePreset")
        .onInterface(I)
        .withInputParamNames("name", "levels")
        .withOutputParamNames("id", "created")
        .implementedAs([this](const std::string& name, const std::map<std::string, double>& levels) {
            return guarded([&] {
                for (const auto& [key, value] : levels)
                    if (key != "brightness" && key != "contrast" && key != "volume")
                        refuse(errors::invalidArgument,
                               fmt::format(
                                   "'{}' is not a level of a preset: use brightness, contrast, volume", key));
                auto& prefs = services_.preferences();
                auto trimmed = trimWhitespace(name);
                if (trimmed.empty())
                    refuse(errors::invalidArgument, "a preset needs a name");
                auto contrast = optionalLevel(levels, "contrast");
                auto volume = optionalLevel(levels, "volume");
                // Without a brightness the preset keeps what the first display shows now.
                auto brightness = optionalLevel(levels, "brightness");
                if (!brightness) {
                    brightness = 1.0;
                    const auto& displays = services_.controller().displays();
                    if (!displays.empty())
                        if (auto it = prefs.brightnessByDisplay().find(displays.front().identity.stableKey());
                            it != prefs.brightnessByDisplay().end())
                            brightness = it->second;
                }
                auto presets = prefs.globalPresets();
                for (const auto& p : presets)
                    if (p.name == trimmed || lowercase(p.name) == lowercase(trimmed)) {
                        // Their levels are fixed: an update would report a change that did not happen.
                        if (isBuiltInPresetID(p.id))
                            refuse(
                                errors::refused,
                                fmt::format("'{}' is built in and its levels cannot change; save them under "
                                            "a new name",
                                            p.name));
                        if (!prefs.upsertPreset(editPreset(p, name, *brightness, contrast, volume)))
                            refuse(errors::failed,
                                   fmt::format("preset {} could not be stored; nothing was changed", p.name));
                        return std::tuple{p.id.toString(), false};
                    }
                if (presets.size() >= maxPresetCount)
                    refuse(errors::refused,
                           fmt::format("there are already {} presets; delete one first", maxPresetCount));
                auto preset = makeNewPreset(name, *brightness, contrast, volume);
                if (!prefs.upsertPreset(*preset))
                    refuse(errors::failed,
                           fmt::format("preset {} could not be stored; nothing was saved", preset->name));
                return std::tuple{preset->id.toString(), true};
            });
        });
    object_->registerMethod("RenamePreset")
        .onInterface(I)
        .withInputParamNames("preset", "name")
        .implementedAs([this](const std::string& word, const std::string& name) {
            guarded([&] {
                auto preset = presetNamed(word);
                auto trimmed = trimWhitespace(name);
                if (trimmed.empty())
                    refuse(errors::invalidArgument, "a preset needs a name");
                preset.name = trimmed;
                if (!services_.preferences().upsertPreset(preset))
                    refuse(errors::failed,
                           fmt::format("preset {} could not be stored; nothing was renamed", word));
            });
        });
    object_->registerMethod("DeletePreset")
        .onInterface(I)
        .withInputParamNames("preset")
        .implementedAs([this](const std::string& word) {
            guarded([&] {
                auto preset = presetNamed(word);
                if (isBuiltInPresetID(preset.id))
                    refuse(errors::refused,
                           fmt::format("'{}' is built in and cannot be deleted", preset.name));
                services_.preferences().deletePreset(preset.id);
            });
        });
    object_->registerSignal("PresetsChanged").onInterface(I);

    // Schedules.
    object_->registerMethod("ListSchedules")
        .onInterface(I)
        .withOutputParamNames("schedules")
        .implementedAs([this] {
            return guarded([&] { return toVariantMaps(status::schedules(services_.preferences())); });
        });
    object_->registerMethod("AddSchedule")
        .onInterface(I)
        .withInputParamNames("preset", "when", "days")
        .withOutputParamNames("id")
        .implementedAs([this](const std::string& preset, const std::string& when,
                              const std::vector<std::int32_t>& days) {
            return guarded([&] {
                PresetSchedule schedule{Uuid::random(), presetNamed(preset).id, true, triggerArgument(when),
                                        daysArgument(days)};
                auto& prefs = services_.preferences();
                if (prefs.scheduleList().size() >= maxScheduleCount)
                    refuse(errors::refused,
                           fmt::format("there are already {} schedules, the most there can be",
                                       maxScheduleCount));
                prefs.upsertSchedule(schedule);
                return schedule.id.toString();
            });
        });
    object_->registerMethod("EditSchedule")
        .onInterface(I)
        .withInputParamNames("schedule", "preset", "when", "days")
        .implementedAs([this](const std::string& word, const std::string& preset, const std::string& when,
                              const std::vector<std::int32_t>& days) {
            guarded([&] {
                PresetSchedule schedule = scheduleNamed(word);
                schedule.presetID = presetNamed(preset).id;
                schedule.trigger = triggerArgument(when);
                schedule.days = daysArgument(days);
                services_.preferences().upsertSchedule(schedule);
            });
        });
    object_->registerMethod("SetScheduleEnabled")
        .onInterface(I)
        .withInputParamNames("schedule", "enabled")
        .implementedAs([this](const std::string& word, bool enabled) {
            guarded([&] {
                PresetSchedule schedule = scheduleNamed(word);
                if (schedule.isEnabled != enabled)
                    services_.preferences().toggleSchedule(schedule.id);
            });
        });
    object_->registerMethod("DeleteSchedule")
        .onInterface(I)
        .withInputParamNames("schedule")
        .implementedAs([this](const std::string& word) {
            guarded([&] { services_.preferences().deleteSchedule(scheduleNamed(word).id); });
        });
    object_->registerSignal("SchedulesChanged").onInterface(I);

    // The solar curve and its position.
    auto now = [this] { return services_.controller().platform().clock.now(); };
    auto applyCurve = [this, now] {
        auto* engine = services_.controller().scheduleEngine();
        if (engine && services_.preferences().solarCurveEnabled())
            engine->applySolarCurve(now());
    };
    object_->registerMethod("GetSolar")
        .onInterface(I)
        .withOutputParamNames("solar")
        .implementedAs([this, now] {
            return guarded([&] { return toVariantMap(status::solar(services_.preferences(), now())); });
        });
    object_->registerMethod("SetSolarEnabled")
        .onInterface(I)
        .withInputParamNames("enabled")
        .implementedAs([this, applyCurve](bool enabled) {
            guarded([&] {
                // As the solar row: turning the curve on applies the level for now at once.
                services_.preferences().setSolarCurveEnabled(enabled);
                if (enabled)
                    applyCurve();
            });
        });
    object_->registerMethod("SetSolarLevels")
        .onInterface(I)
        .withInputParamNames("night", "day")
        .implementedAs([this, applyCurve](double night, double day) {
            guarded([&] {
                services_.preferences().setSolarLevels(levelArgument(night, "night"),
                                                       levelArgument(day, "day"));
                applyCurve();
            });
        });
    object_->registerMethod("ResumeSolar").onInterface(I).implementedAs([this] {
        guarded([&] { services_.controller().resumeSolarCurve(); });
    });
    object_->registerMethod("GetLocation")
        .onInterface(I)
        .withOutputParamNames("location")
        .implementedAs([this] {
            return guarded([&] {
                auto position = status::location(services_.location().coordinate());
                return position.is_null() ? VariantMap{} : toVariantMap(position);
            });
        });
    object_->registerMethod("SetLocation")
        .onInterface(I)
        .withInputParamNames("latitude", "longitude")
        .implementedAs([this](double latitude, double longitude) {
            guarded([&] {
                if (!LocationManager::isValidCoordinate(latitude, longitude))
                    refuse(
                        errors::outOfRange,
                        fmt::format("({}, {}) is not on the globe: latitude -90 to 90, longitude -180 to 180",
                                    latitude, longitude));
                // (0, 0) is how the store says "no position".
                if (latitude == 0 && longitude == 0)
                    refuse(errors::invalidArgument, "(0, 0) cannot be stored: it reads back as no position");
                services_.location().setManualPosition(latitude, longitude);
            });
        });
    object_->registerMethod("SunTimes")
        .onInterface(I)
        .withInputParamNames("date", "position")
        .withOutputParamNames("times")
        .implementedAs([this, now](const std::string& word, const std::map<std::string, double>& at) {
            return guarded([&] {
                auto position = services_.location().coordinate();
                if (!at.empty()) {
                    auto lat = at.find("latitude"), lon = at.find("longitude");
                    if (at.size() != 2 || lat == at.end() || lon == at.end())
                        refuse(errors::invalidArgument,
                               "a position is {latitude, longitude}, or empty for the stored one");
                    if (!LocationManager::isValidCoordinate(lat->second, lon->second))
                        refuse(errors::outOfRange, "the position is not on the globe");
                    position = GeoCoordinate{lat->second, lon->second};
                }
                if (!position)
                    refuse(errors::unknownValue, "no position is known: set one with SetLocation");
                std::optional<CivilDate> day;
                if (word.empty())
                    day = CivilCalendar(services_.controller().platform().clock.timeZone()).dateOf(now());
                else
                    day = dateArgument(word);
                if (!day)
                    refuse(errors::unknownValue, "today's date is not known in the desk's time zone");
                auto times = SolarCalculator::compute(*day, position->latitude, position->longitude);
                VariantMap result;
                if (times.sunrise)
                    result.emplace("sunrise", sdbus::Variant(status::instantText(*times.sunrise)));
                if (times.sunset)
                    result.emplace("sunset", sdbus::Variant(status::instantText(*times.sunset)));
                return result;
            });
        });
    object_->registerSignal("SolarChanged").onInterface(I);
}

} // namespace brivio::bus
