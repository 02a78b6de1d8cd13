#pragma once
// What the preset card's create and edit actions turn the user's input into.

#include "settings/BrightnessPreset.h"

#include <optional>
#include <string>
#include <string_view>

namespace brivio {

// Leading and trailing white space removed (ASCII and the Unicode space separators).
std::string trimWhitespace(std::string_view text);

// A new preset with a fresh id and no icon, or absent when the trimmed name is empty. Levels are
// clamped; a contrast or volume the user did not include is absent.
std::optional<BrightnessPreset> makeNewPreset(std::string_view name, double brightness,
                                              std::optional<double> contrast, std::optional<double> volume);

// The stored preset with the editor's values: an empty trimmed name keeps the old name, and a contrast
// or volume the user did not include keeps its previous value (present or absent).
BrightnessPreset editPreset(const BrightnessPreset& stored, std::string_view name, double brightness,
                            std::optional<double> contrast, std::optional<double> volume);

} // namespace brivio
