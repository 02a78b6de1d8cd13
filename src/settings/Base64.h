#pragma once
// Standard base64 with padding: how byte data sits inside the settings file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brivio {

std::string base64Encode(const std::vector<std::uint8_t>& data);
// Absent on any character outside the alphabet, a bad length or misplaced padding.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text);

} // namespace brivio
