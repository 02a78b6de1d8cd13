#include "app/panel/BrightnessStepChoice.h"

#include <cmath>

namespace brivio {

std::size_t nearestStepChoice(double step) {
    auto distance = [step](std::size_t i) { return std::fabs(step - brightnessStepChoices[i].value); };
    std::size_t chosen = distance(1) < distance(0) ? 1 : 0;
    if (distance(2) < distance(chosen))
        chosen = 2;
    return chosen;
}

} // namespace brivio
