#pragma once
// How one stored value is written in the settings file: {"type": ..., "value": ...}, so a double 1.0,
// an integer 1 and a bool stay what they were.

#include "settings/KeyValueStore.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace brivio {

nlohmann::json encodeStoredValue(const StoredValue& value);
// Absent for an unknown type tag or a value that does not fit its tag.
std::optional<StoredValue> decodeStoredValue(const nlohmann::json& entry);

// ISO-8601 in UTC with nanoseconds: "2026-12-06T18:45:00.000000000Z".
std::string isoUtcString(StoredDate date);
// Accepts that form with 0 to 9 fraction digits; absent outside the years 1678-2261.
std::optional<StoredDate> parseIsoUtc(std::string_view text);

} // namespace brivio
