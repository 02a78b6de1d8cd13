#include "settings/SliderTheme.h"

namespace brivio {

namespace {

SliderTheme current = SliderTheme::haze;

constexpr std::array<std::string_view, 7> rawValues{"haze",  "volt", "slate", "alpine",
                                                    "shore", "clay", "nordic"};

} // namespace

std::string_view rawValue(SliderTheme theme) {
    return rawValues[static_cast<std::size_t>(theme)];
}

std::optional<SliderTheme> sliderThemeFromRawValue(std::string_view raw) {
    for (auto theme : allSliderThemes)
        if (rawValue(theme) == raw)
            return theme;
    return std::nullopt;
}

SliderTheme currentTheme() {
    return current;
}

void setCurrentTheme(SliderTheme theme) {
    current = theme;
}

} // namespace brivio
