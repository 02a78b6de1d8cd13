#pragma once
// What the agent's bus and the command line report about the desk, as JSON objects with the same
// fields either way: the displays, the presets, the schedules, the solar curve and the position.

#include "core/DisplayController.h"
#include "modes/DisplayResolutionMode.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace brivio::status {

// The path that dims the display now: "ddc", "native", "overlay" or "gamma" (a monitor without
// DDC/CI under Extended Dimming, or any software-dimmed display where overlays cannot dim), or "none"
// where this desktop offers neither an overlay nor gamma.
std::string driverPath(const DisplayController& controller, const ManagedDisplay& display);
// Brightness always; contrast and volume where the monitor has them over DDC/CI.
bool supports(const ManagedDisplay& display, DisplayControl control);

// The level the display is known to have: the remembered one, else what the driver last saw (the
// overlay's level, a DDC reading). Absent when nothing is known yet.
std::optional<double> knownLevel(DisplayController& controller, const ManagedDisplay& display,
                                 DisplayControl control);

// One display: "index" (1-based, list order), "number", "stableKey", "name", "isBuiltIn", "driver",
// "capabilities" (with "hardwareBrightnessFallbackReason" when there is one), "warmingUp",
// "extendedDimming", "syncLeader", and the remembered "brightness", "contrast", "volume" (null when
// none is remembered).
nlohmann::json display(DisplayController& controller, const ManagedDisplay& display, std::size_t index);
nlohmann::json displays(DisplayController& controller);

// "08:00", "sunrise", "sunset+15", "sunrise-30": how a trigger is typed and shown.
std::string triggerWord(const ScheduleTrigger& trigger);
// The reverse; absent for anything else (minutes within a day either way).
std::optional<ScheduleTrigger> parseTriggerWord(const std::string& word);

// A display mode: "id", "label", "width", "height", "pixelWidth", "pixelHeight", "refreshRate",
// "hiDPI", and "current" as given.
nlohmann::json mode(const DisplayResolutionMode& mode, bool current);

// Each preset: "id", "name", "brightness", "contrast" and "volume" (when the preset sets them),
// "icon", "builtIn", "active".
nlohmann::json presets(const BrivioPreferences& preferences);
// Each schedule: "number", "id", "enabled", "when" (as `triggerWord`), "label", "days", "summary",
// "presetId", "preset" (its name; null when the preset is gone).
nlohmann::json schedules(const BrivioPreferences& preferences);
// "enabled", "paused", "pausedUntil" (ISO UTC text while paused, else null), "night", "day".
nlohmann::json solar(const BrivioPreferences& preferences, WallTime now);
// "latitude" and "longitude", or null when no position is known.
nlohmann::json location(const std::optional<GeoCoordinate>& position);
// A point in time as ISO-8601 UTC to the second: "2024-06-21T04:00:00Z".
std::string instantText(WallTime time);

} // namespace brivio::status
