#pragma once
// Text fields of EDID display descriptors (monitor name, serial text): cut, trimmed and turned from
// Latin-1 into UTF-8 the same way wherever a descriptor is read.

#include <cstdint>
#include <span>
#include <string>

namespace brivio {

// Each byte as the Unicode code point of the same value, encoded as UTF-8.
std::string latin1ToUtf8(std::span<const std::uint8_t> bytes);

struct EdidTextRules {
    bool endsAtNul = false;                    // a NUL ends the text like the line feed does
    bool (*isPadding)(std::uint8_t) = nullptr; // bytes trimmed from both ends of what is left
};

// The text of a descriptor's 13 text bytes: up to the first line feed, trimmed by `rules`, as UTF-8.
std::string edidDescriptorText(std::span<const std::uint8_t> text, EdidTextRules rules);

} // namespace brivio
