#pragma once
// The three brightness steps the settings page offers, and which of them a stored step shows as chosen.

#include <array>

namespace brivio {

struct BrightnessStepChoice {
    const char* label;
    double value;
};

inline constexpr std::array<BrightnessStepChoice, 3> brightnessStepChoices{{
    {"Fine", 0.015625},
    {"Classic", 0.0625},
    {"Bold", 0.125},
}};

// Index into the choices of the one nearest to `step`; a tie keeps the smaller step.
std::size_t nearestStepChoice(double step);

} // namespace brivio
