#pragma once
// The accent themes of the panel's sliders, and the process-wide current theme that styling code reads
// without holding the preferences.

#include <array>
#include <optional>
#include <string_view>

namespace brivio {

enum class SliderTheme { haze, volt, slate, alpine, shore, clay, nordic };

inline constexpr std::array<SliderTheme, 7> allSliderThemes{
    SliderTheme::haze,  SliderTheme::volt, SliderTheme::slate, SliderTheme::alpine,
    SliderTheme::shore, SliderTheme::clay, SliderTheme::nordic};

// "haze", "volt", ...: the stored form.
std::string_view rawValue(SliderTheme theme);
std::optional<SliderTheme> sliderThemeFromRawValue(std::string_view raw);

// Main thread only. `haze` until the preferences have loaded.
SliderTheme currentTheme();
void setCurrentTheme(SliderTheme theme);

} // namespace brivio
