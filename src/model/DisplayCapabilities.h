#pragma once
// What can be done with a display, as its driver's probe found it.

#include "model/FallbackReason.h"

#include <cstddef>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace brivio {

struct DisplayCapabilities {
    bool supportsHardwareBrightness = false; // DDC/CI or the system brightness service
    bool supportsHardwareContrast = false;
    bool supportsHardwareVolume = false;
    bool supportsMute = false;
    bool supportsInputSwitch = false;
    bool supportsPowerOff = false;
    bool supportsOverlayDimming = false; // brightness is simulated in software
    // Why hardware brightness is not (yet) used; absent when it is.
    std::optional<FallbackReason> hardwareBrightnessFallbackReason;

    nlohmann::json toJson() const;
    // Absent when a required key is missing or mistyped, or the reason is unknown.
    static std::optional<DisplayCapabilities> fromJson(const nlohmann::json& j);

    bool operator==(const DisplayCapabilities&) const = default;
};

// The reason is written only when present; on reading, absent or null means none.
void to_json(nlohmann::json& j, const DisplayCapabilities& capabilities);
void from_json(const nlohmann::json& j, DisplayCapabilities& capabilities);

} // namespace brivio

template <> struct std::hash<brivio::DisplayCapabilities> {
    std::size_t operator()(const brivio::DisplayCapabilities& capabilities) const noexcept;
};
