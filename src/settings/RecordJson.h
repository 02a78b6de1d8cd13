#pragma once
// Shared rules for the JSON arrays of presets and schedules kept as byte data.

#include "settings/KeyValueStore.h"

#include <nlohmann/json.hpp>
#include <optional>

namespace brivio {

// Larger stored lists are treated as unreadable: six presets or five schedules take a few hundred bytes.
inline constexpr std::size_t maxRecordListBytes = 1 << 20;

// The parsed array, or absent when the data is too large, not JSON, or not an array.
std::optional<nlohmann::json> parseRecordArray(const StoredData& data);
// Compact JSON bytes; absent when a string is not valid UTF-8.
std::optional<StoredData> serializeRecordArray(const nlohmann::json& array);

// Field readers: absent when the key is missing or has another JSON type.
std::optional<std::string> jsonString(const nlohmann::json& object, const char* key);
std::optional<double> jsonNumber(const nlohmann::json& object, const char* key);
std::optional<int> jsonInt(const nlohmann::json& value);
std::optional<int> jsonInt(const nlohmann::json& object, const char* key);

} // namespace brivio
