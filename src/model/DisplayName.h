#pragma once
// How a display's human-readable name is found. Pure functions over what the platform layer reads
// (built-in flag, screen name, registry EDIDs, vendor and product numbers), so every backend names
// displays the same way.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brivio {

using EdidBlock = std::vector<std::uint8_t>;
// Reads the EDIDs of the candidate display services; called only when the name is not found earlier.
using EdidSource = std::function<std::vector<EdidBlock>()>;

inline constexpr const char* builtInDisplayName = "Built-in Display";

// The product name of an EDID, or absent when it has fewer than 128 bytes, its vendor (bytes 8-9,
// big-endian) or product (bytes 10-11, little-endian) does not match, or it holds no non-empty name.
std::optional<std::string> productNameFromEdid(std::span<const std::uint8_t> edid, std::uint32_t vendorID,
                                               std::uint32_t productID);

// The first name found among the EDIDs, in order.
std::optional<std::string> productNameFromEdids(const std::vector<EdidBlock>& edids, std::uint32_t vendorID,
                                                std::uint32_t productID);

// "Built-in Display" for the machine's panel, else the screen's name, else an EDID product name, else
// "Display <displayNumber>".
std::string resolveDisplayName(bool isBuiltIn, const std::optional<std::string>& screenName,
                               const std::vector<EdidBlock>& serviceEdids, std::uint32_t vendorID,
                               std::uint32_t productID, std::uint32_t displayNumber);
std::string resolveDisplayName(bool isBuiltIn, const std::optional<std::string>& screenName,
                               const EdidSource& serviceEdids, std::uint32_t vendorID,
                               std::uint32_t productID, std::uint32_t displayNumber);

} // namespace brivio
