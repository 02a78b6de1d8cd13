#pragma once
// A global preset: a named brightness, optionally with contrast and volume, applied to every display.

#include "settings/KeyValueStore.h"
#include "settings/Uuid.h"

#include <optional>
#include <string>
#include <vector>

namespace brivio {

struct BrightnessPreset {
    Uuid id;
    std::string name;
    double brightness = 0;
    std::optional<double> contrast; // absent: contrast is left alone
    std::optional<double> volume;   // absent: volume is left alone
    std::optional<std::string> icon;

    // Built-ins always draw their own icon, whatever was stored.
    std::string iconName() const;

    friend bool operator==(const BrightnessPreset&, const BrightnessPreset&) = default;
};

inline constexpr const char* defaultPresetIcon = "slider.horizontal.3";
inline constexpr std::size_t maxPresetCount = 6;

// Night, Work, Movie, in this order, with their fixed ids.
const std::vector<BrightnessPreset>& builtInPresets();
bool isBuiltInPresetID(const Uuid& id);
const BrightnessPreset* builtInPreset(const Uuid& id);

// The stored JSON array. Encoding fails on a non-finite level or invalid UTF-8. Decoding is all or
// nothing: absent when any element is malformed.
std::optional<StoredData> encodePresetList(const std::vector<BrightnessPreset>& presets);
std::optional<std::vector<BrightnessPreset>> decodePresetList(const StoredData& data);

} // namespace brivio
