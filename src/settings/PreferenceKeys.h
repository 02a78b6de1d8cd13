#pragma once
// Every key the application keeps in its settings store.

namespace brivio::prefkeys {

inline constexpr const char* perDisplayBrightness = "brivio.perDisplayBrightness";
inline constexpr const char* perDisplayContrast = "brivio.perDisplayContrast";
inline constexpr const char* perDisplayVolume = "brivio.perDisplayVolume";
inline constexpr const char* syncLeaderKey = "brivio.syncLeaderKey";
inline constexpr const char* globalPresets = "brivio.globalPresets";
inline constexpr const char* globalActivePreset = "brivio.globalActivePreset";
inline constexpr const char* externalOverlayDimming = "brivio.externalOverlayDimming";
inline constexpr const char* ddcReplyWait = "brivio.ddcReplyWait";
inline constexpr const char* schedules = "brivio.schedules";
inline constexpr const char* brightnessStep = "brivio.brightnessStep";
inline constexpr const char* showSliderPercentage = "brivio.showSliderPercentage";
inline constexpr const char* solarEnabled = "brivio.solar.enabled";
inline constexpr const char* solarNightLevel = "brivio.solar.nightLevel";
inline constexpr const char* solarDayLevel = "brivio.solar.dayLevel";
inline constexpr const char* solarPausedUntil = "brivio.solar.pausedUntil";
inline constexpr const char* selectedTheme = "brivio.selectedTheme";
inline constexpr const char* hasSeenWelcome = "brivio.hasSeenWelcome";
inline constexpr const char* brightnessUpKeyCode = "brivio.shortcut.brightnessUp.keyCode";
inline constexpr const char* brightnessUpModifiers = "brivio.shortcut.brightnessUp.modifiers";
inline constexpr const char* brightnessDownKeyCode = "brivio.shortcut.brightnessDown.keyCode";
inline constexpr const char* brightnessDownModifiers = "brivio.shortcut.brightnessDown.modifiers";
// The location keys carry a shorter prefix; that is their stored name.
inline constexpr const char* locationLatitude = "bv.location.lat";
inline constexpr const char* locationLongitude = "bv.location.lon";

} // namespace brivio::prefkeys
