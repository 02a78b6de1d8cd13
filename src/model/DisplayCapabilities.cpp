#include "model/DisplayCapabilities.h"

#include "model/HashCombine.h"
#include "model/JsonFields.h"

#include <nlohmann/json.hpp>
#include <string_view>

namespace brivio {

namespace {
constexpr const char* reasonKey = "hardwareBrightnessFallbackReason";
constexpr const char* gammaKey = "supportsGammaDimming";
constexpr const char* unavailableKey = "softwareDimmingUnavailable";
} // namespace

nlohmann::json DisplayCapabilities::toJson() const {
    nlohmann::json j;
    to_json(j, *this);
    return j;
}

std::optional<DisplayCapabilities> DisplayCapabilities::fromJson(const nlohmann::json& j) {
    try {
        return j.get<DisplayCapabilities>();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

void to_json(nlohmann::json& j, const DisplayCapabilities& c) {
    j = nlohmann::json{{"supportsHardwareBrightness", c.supportsHardwareBrightness},
                       {"supportsHardwareContrast", c.supportsHardwareContrast},
                       {"supportsHardwareVolume", c.supportsHardwareVolume},
                       {"supportsMute", c.supportsMute},
                       {"supportsInputSwitch", c.supportsInputSwitch},
                       {"supportsPowerOff", c.supportsPowerOff},
                       {"supportsOverlayDimming", c.supportsOverlayDimming},
                       {gammaKey, c.supportsGammaDimming}};
    if (c.hardwareBrightnessFallbackReason)
        j[reasonKey] = *c.hardwareBrightnessFallbackReason;
    if (c.softwareDimmingUnavailable)
        j[unavailableKey] = *c.softwareDimmingUnavailable;
}

void from_json(const nlohmann::json& j, DisplayCapabilities& c) {
    DisplayCapabilities decoded;
    decoded.supportsHardwareBrightness = json::requireBool(j, "supportsHardwareBrightness");
    decoded.supportsHardwareContrast = json::requireBool(j, "supportsHardwareContrast");
    decoded.supportsHardwareVolume = json::requireBool(j, "supportsHardwareVolume");
    decoded.supportsMute = json::requireBool(j, "supportsMute");
    decoded.supportsInputSwitch = json::requireBool(j, "supportsInputSwitch");
    decoded.supportsPowerOff = json::requireBool(j, "supportsPowerOff");
    decoded.supportsOverlayDimming = json::requireBool(j, "supportsOverlayDimming");
    if (auto it = j.find(reasonKey); it != j.end() && !it->is_null())
        decoded.hardwareBrightnessFallbackReason = it->get<FallbackReason>();
    if (auto it = j.find(gammaKey); it != j.end())
        decoded.supportsGammaDimming = it->get<bool>();
    if (auto it = j.find(unavailableKey); it != j.end() && !it->is_null())
        decoded.softwareDimmingUnavailable = it->get<std::string>();
    c = decoded;
}

} // namespace brivio

std::size_t
std::hash<brivio::DisplayCapabilities>::operator()(const brivio::DisplayCapabilities& c) const noexcept {
    std::size_t seed = 0;
    brivio::hashCombine(seed, c.supportsHardwareBrightness);
    brivio::hashCombine(seed, c.supportsHardwareContrast);
    brivio::hashCombine(seed, c.supportsHardwareVolume);
    brivio::hashCombine(seed, c.supportsMute);
    brivio::hashCombine(seed, c.supportsInputSwitch);
    brivio::hashCombine(seed, c.supportsPowerOff);
    brivio::hashCombine(seed, c.supportsOverlayDimming);
    brivio::hashCombine(seed, c.supportsGammaDimming);
    brivio::hashCombine(seed, c.softwareDimmingUnavailable.value_or(""));
    const auto& reason = c.hardwareBrightnessFallbackReason;
    brivio::hashCombine(seed, reason.has_value());
    if (reason)
        brivio::hashCombine(seed, brivio::toString(*reason));
    return seed;
}
