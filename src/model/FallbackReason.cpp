#include "model/FallbackReason.h"

#include <array>
#include <nlohmann/json.hpp>
#include <string>

namespace brivio {

namespace {
constexpr std::array<FallbackReason, 4> allReasons{FallbackReason::noDDC, FallbackReason::ddcUnstable,
                                                   FallbackReason::nativeUnsupported,
                                                   FallbackReason::probing};
}

std::string_view toString(FallbackReason reason) {
    switch (reason) {
    case FallbackReason::noDDC:
        return "noDDC";
    case FallbackReason::ddcUnstable:
        return "ddcUnstable";
    case FallbackReason::nativeUnsupported:
        return "nativeUnsupported";
    case FallbackReason::probing:
        return "probing";
    }
    return "noDDC";
}

std::optional<FallbackReason> parseFallbackReason(std::string_view raw) {
    for (auto reason : allReasons)
        if (toString(reason) == raw)
            return reason;
    return std::nullopt;
}

void to_json(nlohmann::json& j, FallbackReason reason) {
    j = std::string(toString(reason));
}

void from_json(const nlohmann::json& j, FallbackReason& reason) {
    auto parsed = parseFallbackReason(j.get<std::string>());
    if (!parsed)
        throw nlohmann::json::other_error::create(501, "unknown fallback reason " + j.dump(), &j);
    reason = *parsed;
}

} // namespace brivio
