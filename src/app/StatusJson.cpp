#include "app/StatusJson.h"

#include "schedule/SolarCurve.h"

#include <algorithm>
#include <charconv>
#include <date/date.h>
#include <fmt/format.h>

namespace brivio::status {

namespace {

using nlohmann::json;

json rememberedOrNull(const std::map<std::string, double>& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? json(nullptr) : json(it->second);
}

std::optional<int> wholeNumber(std::string_view text) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

} // namespace

std::string driverPath(const DisplayController& controller, const ManagedDisplay& d) {
    if (!d.capabilities.supportsHardwareBrightness) {
        if (d.capabilities.softwareDimmingUnavailable)
            return "none";
        return controller.softwareDimsByGamma(d) ? "gamma"
                                                 : std::string(toString(DisplayDriverKind::overlay));
    }
    return std::string(toString(d.isBuiltIn ? DisplayDriverKind::native : DisplayDriverKind::ddc));
}

bool supports(const ManagedDisplay& d, DisplayControl control) {
    switch (control) {
    case DisplayControl::brightness:
        return true;
    case DisplayControl::contrast:
        return d.capabilities.supportsHardwareContrast;
    case DisplayControl::volume:
        return d.capabilities.supportsHardwareVolume;
    case DisplayControl::mute:
        return false;
    }
    return false;
}

std::optional<double> knownLevel(DisplayController& controller, const ManagedDisplay& d,
                                 DisplayControl control) {
    auto& prefs = controller.preferences();
    auto key = d.identity.stableKey();
    const auto& map = control == DisplayControl::brightness ? prefs.brightnessByDisplay()
                      : control == DisplayControl::contrast ? prefs.contrastByDisplay()
                                                            : prefs.volumeByDisplay();
    if (auto it = map.find(key); it != map.end())
        return it->second;
    if (control == DisplayControl::brightness)
        return controller.overlayDriver().brightness(key);
    auto& ddc = controller.ddcDriver();
    auto& cache =
        control == DisplayControl::contrast ? ddc.ddcContrastCurrentCache() : ddc.ddcVolumeCurrentCache();
    if (auto it = cache.find(key); it != cache.end())
        return it->second;
    return std::nullopt;
}

json display(DisplayController& controller, const ManagedDisplay& d, std::size_t index) {
    auto& prefs = controller.preferences();
    auto key = d.identity.stableKey();
    auto& dimming = prefs.externalOverlayDimmingByDisplay();
    auto extended = dimming.find(key);
    return {{"index", index},
            {"number", d.identity.cgID},
            {"stableKey", key},
            {"name", d.identity.modelName},
            {"isBuiltIn", d.isBuiltIn},
            {"driver", driverPath(controller, d)},
            {"capabilities", d.capabilities.toJson()},
            {"warmingUp", controller.warmingUpKeys().count(key) != 0},
            {"extendedDimming", extended != dimming.end() && extended->second},
            {"syncLeader", prefs.syncLeaderKey() == key},
            {"brightness", rememberedOrNull(prefs.brightnessByDisplay(), key)},
            {"contrast", rememberedOrNull(prefs.contrastByDisplay(), key)},
            {"volume", rememberedOrNull(prefs.volumeByDisplay(), key)}};
}

json displays(DisplayController& controller) {
    auto array = json::array();
    std::size_t index = 1;
    for (const auto& d : controller.displays())
        array.push_back(display(controller, d, index++));
    return array;
}

std::string triggerWord(const ScheduleTrigger& trigger) {
    switch (trigger.kind) {
    case ScheduleTriggerKind::clockTime:
        return fmt::format("{:02}:{:02}", trigger.hour, trigger.minute);
    case ScheduleTriggerKind::sunrise:
    case ScheduleTriggerKind::sunset: {
        std::string name = trigger.kind == ScheduleTriggerKind::sunrise ? "sunrise" : "sunset";
        if (trigger.offsetMinutes == 0)
            return name;
        return fmt::format("{}{:+}", name, trigger.offsetMinutes);
    }
    }
    return {};
}

std::optional<ScheduleTrigger> parseTriggerWord(const std::string& word) {
    for (auto kind : {ScheduleTriggerKind::sunrise, ScheduleTriggerKind::sunset}) {
        std::string name = kind == ScheduleTriggerKind::sunrise ? "sunrise" : "sunset";
        if (word.rfind(name, 0) != 0)
            continue;
        std::string_view rest = std::string_view(word).substr(name.size());
        int offset = 0;
        if (!rest.empty()) {
            auto n = (rest[0] == '+' || rest[0] == '-') ? wholeNumber(rest.substr(1)) : std::nullopt;
            // A day either way is as far as an offset can usefully reach.
            if (!n || *n < 0 || *n > 1440)
                return std::nullopt;
            offset = rest[0] == '-' ? -*n : *n;
        }
        return kind == ScheduleTriggerKind::sunrise ? ScheduleTrigger::sunrise(offset)
                                                    : ScheduleTrigger::sunset(offset);
    }
    auto colon = word.find(':');
    if (colon != std::string::npos && colon >= 1 && colon <= 2 && word.size() == colon + 3) {
        auto h = wholeNumber(std::string_view(word).substr(0, colon));
        auto m = wholeNumber(std::string_view(word).substr(colon + 1));
        if (h && m && *h >= 0 && *h <= 23 && *m >= 0 && *m <= 59)
            return ScheduleTrigger::clockTime(*h, *m);
    }
    return std::nullopt;
}

json mode(const DisplayResolutionMode& m, bool current) {
    return {{"id", m.id()},
            {"label", m.label()},
            {"width", m.width},
            {"height", m.height},
            {"pixelWidth", m.pixelWidth},
            {"pixelHeight", m.pixelHeight},
            {"refreshRate", m.refreshRate},
            {"hiDPI", m.isHiDPI},
            {"current", current}};
}

json presets(const BrivioPreferences& prefs) {
    auto array = json::array();
    for (const auto& p : prefs.globalPresets()) {
        json entry{{"id", p.id.toString()},
                   {"name", p.name},
                   {"brightness", p.brightness},
                   {"icon", p.iconName()},
                   {"builtIn", isBuiltInPresetID(p.id)},
                   {"active", prefs.globalActivePresetIDStr() == p.id.toString()}};
        if (p.contrast)
            entry["contrast"] = *p.contrast;
        if (p.volume)
            entry["volume"] = *p.volume;
        array.push_back(std::move(entry));
    }
    return array;
}

json schedules(const BrivioPreferences& prefs) {
    auto presets = prefs.globalPresets();
    auto array = json::array();
    std::size_t number = 1;
    for (const auto& s : prefs.scheduleList()) {
        auto preset = std::find_if(presets.begin(), presets.end(),
                                   [&](const BrightnessPreset& p) { return p.id == s.presetID; });
        array.push_back({{"number", number++},
                         {"id", s.id.toString()},
                         {"enabled", s.isEnabled},
                         {"when", triggerWord(s.trigger)},
                         {"label", s.trigger.label()},
                         {"days", s.days},
                         {"summary", s.daysSummary()},
                         {"presetId", s.presetID.toString()},
                         {"preset", preset == presets.end() ? json(nullptr) : json(preset->name)}});
    }
    return array;
}

std::string instantText(WallTime t) {
    return date::format("%FT%TZ", std::chrono::round<std::chrono::seconds>(t));
}

json solar(const BrivioPreferences& prefs, WallTime now) {
    bool paused = SolarCurve::isPaused(now, prefs.solarPausedUntil());
    return {{"enabled", prefs.solarCurveEnabled()},
            {"paused", prefs.solarCurveEnabled() && paused},
            {"pausedUntil", paused ? json(instantText(*prefs.solarPausedUntil())) : json(nullptr)},
            {"night", prefs.solarNightLevel()},
            {"day", prefs.solarDayLevel()}};
}

json location(const std::optional<GeoCoordinate>& position) {
    if (!position)
        return nullptr;
    return {{"latitude", position->latitude}, {"longitude", position->longitude}};
}

} // namespace brivio::status
