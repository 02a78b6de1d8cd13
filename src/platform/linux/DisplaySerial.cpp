#include "platform/linux/DisplaySerial.h"

#include <string_view>

namespace brivio {

namespace {

// Texts such as "0", "000000000001" or "" are placeholders as well.
bool namesAUnit(std::string_view text) {
    return text.find_first_not_of("01 -.") != std::string_view::npos;
}

// FNV-1a: stable across runs and builds, unlike std::hash.
std::uint32_t textSerial(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text)
        hash = (hash ^ c) * 16777619u;
    return hash ? hash : 1;
}

} // namespace

bool isPlaceholderSerial(std::uint32_t serial) {
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(serial), static_cast<std::uint8_t>(serial >> 8),
                                  static_cast<std::uint8_t>(serial >> 16),
                                  static_cast<std::uint8_t>(serial >> 24)};
    bool zerosAndOnes = true, allAlike = true;
    for (auto b : bytes) {
        zerosAndOnes = zerosAndOnes && b <= 1;
        allAlike = allAlike && b == bytes[0];
    }
    return serial != 0 && (zerosAndOnes || allAlike);
}

std::uint32_t displaySerial(const Edid& edid, bool shared) {
    // No serial at all already falls to the unit number, as it always has.
    if (edid.serial == 0 || (!shared && !isPlaceholderSerial(edid.serial)))
        return edid.serial;
    if (edid.serialString && namesAUnit(*edid.serialString))
        return textSerial(*edid.serialString);
    return 0;
}

} // namespace brivio
