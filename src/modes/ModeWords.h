#pragma once
// How a mode is named in a request: a 1-based number in the short list, an id from the full list
// ("1920x1080_3840x2160@60"), or a label as listed ("1920 × 1080 HiDPI", "1920x1080 hidpi").

#include "modes/DisplayResolutionMode.h"

#include <optional>
#include <string>
#include <vector>

namespace brivio {

std::optional<DisplayResolutionMode> modeNamed(const std::string& word,
                                               const std::vector<DisplayResolutionMode>& modes,
                                               const std::vector<DisplayResolutionMode>& allModes);

} // namespace brivio
