#pragma once
// Which value of a display an operation means. Raw strings are the case names.

#include <array>
#include <optional>
#include <string_view>

namespace brivio {

enum class DisplayControl { brightness, contrast, volume, mute };

inline constexpr std::array<DisplayControl, 4> allDisplayControls{
    DisplayControl::brightness, DisplayControl::contrast, DisplayControl::volume, DisplayControl::mute};

std::string_view toString(DisplayControl control);
std::optional<DisplayControl> parseDisplayControl(std::string_view raw);

} // namespace brivio
