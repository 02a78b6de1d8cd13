#pragma once
// Why a display's brightness is not (yet) set in hardware. Stored by its raw string (the case name).

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string_view>

namespace brivio {

enum class FallbackReason { noDDC, ddcUnstable, nativeUnsupported, probing };

std::string_view toString(FallbackReason reason);
// Absent for any string that is not a case name.
std::optional<FallbackReason> parseFallbackReason(std::string_view raw);

// As its raw string; decoding a non-string or unknown string throws a nlohmann::json exception.
void to_json(nlohmann::json& j, FallbackReason reason);
void from_json(const nlohmann::json& j, FallbackReason& reason);

} // namespace brivio
