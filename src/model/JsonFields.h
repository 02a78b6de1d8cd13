#pragma once
// Strict readers for required keys of a JSON object: a missing or mistyped key throws a
// nlohmann::json exception instead of being coerced (a bool or -1 never becomes a number).

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace brivio::json {

std::uint32_t requireUInt32(const nlohmann::json& object, const char* key);
bool requireBool(const nlohmann::json& object, const char* key);
std::string requireString(const nlohmann::json& object, const char* key);

} // namespace brivio::json
