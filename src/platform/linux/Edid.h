#pragma once
// What a monitor says about itself in its EDID: maker, product, serial, date, version, names and the
// preferred mode, read defensively from bytes that may be short, damaged or made up.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brivio {

// The first detailed timing of the base block, which the EDID names the preferred mode.
struct EdidMode {
    std::uint32_t width = 0;  // active pixels
    std::uint32_t height = 0; // active lines of the whole frame
    double refreshRate = 0;   // frames a second
    bool interlaced = false;
    bool operator==(const EdidMode&) const = default;
};

struct Edid {
    std::string pnpId;          // three letters, '@' for a zero code
    std::uint16_t vendorId = 0; // bytes 8-9 as one big-endian number
    std::uint16_t productId = 0;
    std::uint32_t serial = 0; // 0 when the monitor reports none
    std::uint8_t week = 0;
    int year = 0;
    std::string version; // "1.3"
    int blocks = 0;      // 128-byte blocks: the base block and the extensions present
    bool digital = false;
    bool checksumOk = false;
    std::optional<std::string> name;         // UTF-8; absent without a name descriptor
    std::optional<std::string> serialString; // UTF-8; absent without a serial descriptor
    std::optional<EdidMode> preferredMode;
    bool operator==(const Edid&) const = default;
};

inline constexpr std::size_t edidBlockSize = 128;

// Absent when the data is shorter than one block or lacks the fixed header; `error` then says why.
// A bad checksum is no reason to reject: it is reported in `checksumOk`.
std::optional<Edid> parseEdid(std::span<const std::uint8_t> data, std::string* error = nullptr);

} // namespace brivio
