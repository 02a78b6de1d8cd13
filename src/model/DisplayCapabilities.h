#pragma once
// What can be done with a display, as its driver's probe found it.

#include "model/FallbackReason.h"

#include <cstddef>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace brivio {

struct DisplayCapabilities {
    bool supportsHardwareBrightness = false; // DDC/CI or the system brightness service
    bool supportsHardwareContrast = false;
    bool supportsHardwareVolume = false;
    bool supportsMute = false;
    bool supportsInputSwitch = false;
    bool supportsPowerOff = false;
    bool supportsOverlayDimming = false; // an overlay window can dim the display
    // Why hardware brightness is not (yet) used; absent when it is.
    std::optional<FallbackReason> hardwareBrightnessFallbackReason;
    bool supportsGammaDimming = false; // its gamma tables can be scaled (external displays only)
    // Why neither an overlay nor gamma can dim the display here, in plain words; absent when one can.
    // For a display without hardware brightness the slider then changes nothing on the screen.
    std::optional<std::string> softwareDimmingUnavailable;

    nlohmann::json toJson() const;
    // Absent when a required key is missing or mistyped, or the reason is unknown.
    static std::optional<DisplayCapabilities> fromJson(const nlohmann::json& j);

    bool operator==(const DisplayCapabilities&) const = default;
};

// The reasons are written only when present; on reading, absent or null means none, and an absent
// gamma flag (a record from before it existed) means no gamma dimming.
void to_json(nlohmann::json& j, const DisplayCapabilities& capabilities);
void from_json(const nlohmann::json& j, DisplayCapabilities& capabilities);

} // namespace brivio

template <> struct std::hash<brivio::DisplayCapabilities> {
    std::size_t operator()(const brivio::DisplayCapabilities& capabilities) const noexcept;
};
