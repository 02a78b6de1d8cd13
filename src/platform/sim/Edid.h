#pragma once
// A valid 128-byte EDID for a simulated monitor: its manufacturer, product and serial numbers, a
// preferred timing for its size, and a monitor-name descriptor holding its name.

#include <cstdint>
#include <string>
#include <vector>

namespace brivio {

// `name` is UTF-8; it is stored as ISO Latin-1, cut to the 13 characters a descriptor holds.
std::vector<std::uint8_t> makeEdid(std::uint32_t vendor, std::uint32_t product, std::uint32_t serial,
                                   const std::string& name, std::uint32_t width, std::uint32_t height,
                                   int refreshRate);

} // namespace brivio
