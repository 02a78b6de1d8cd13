#pragma once
// The input sources a monitor can be told to show (the values of VCP feature 0x60, Input Select), in
// the order the menu lists them, and how a word typed by a user names one of them.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brivio {

struct DDCInputSource {
    std::string name;   // shown to the user
    std::uint8_t value; // the VCP 0x60 value
    std::string symbol; // the system symbol image shown for it
    bool operator==(const DDCInputSource&) const = default;
};

// VGA, DVI, DisplayPort 1 and 2, HDMI 1 and 2, USB-C.
std::span<const DDCInputSource> ddcInputSources();

// The entry with this value; null for an input the list does not know.
const DDCInputSource* inputSourceWithValue(std::optional<std::uint8_t> value);
// The symbol of the current input, "cable.connector" when the input is unknown or not yet read.
std::string_view inputSourceSymbol(std::optional<std::uint8_t> value);

// A list name in any case, ignoring spaces and dashes ("hdmi1", "HDMI 1", "usbc"), or a value written
// in decimal or as 0x followed by hexadecimal digits (1 to 255). Absent for anything else.
std::optional<std::uint8_t> parseInputSource(std::string_view word);

} // namespace brivio
