#include "model/DisplayControl.h"

namespace brivio {

std::string_view toString(DisplayControl control) {
    switch (control) {
    case DisplayControl::brightness:
        return "brightness";
    case DisplayControl::contrast:
        return "contrast";
    case DisplayControl::volume:
        return "volume";
    case DisplayControl::mute:
        return "mute";
    }
    return "brightness";
}

std::optional<DisplayControl> parseDisplayControl(std::string_view raw) {
    for (auto control : allDisplayControls)
        if (toString(control) == raw)
            return control;
    return std::nullopt;
}

} // namespace brivio
