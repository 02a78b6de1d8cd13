#include "drivers/InputSource.h"

#include <array>
#include <cctype>

namespace brivio {

namespace {

const std::array<DDCInputSource, 7> sources{{
    {"VGA", 0x01, "cable.connector"},
    {"DVI", 0x03, "cable.connector"},
    {"DisplayPort 1", 0x0F, "rectangle.connected.to.line.below"},
    {"DisplayPort 2", 0x10, "rectangle.connected.to.line.below"},
    {"HDMI 1", 0x11, "tv"},
    {"HDMI 2", 0x12, "tv"},
    {"USB-C", 0x1B, "cable.connector"},
}};

// Lower case without spaces and dashes, so that "HDMI 1", "hdmi1" and "hdmi-1" compare equal.
std::string folded(std::string_view word) {
    std::string out;
    for (char c : word)
        if (c != ' ' && c != '-')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<unsigned> number(std::string_view word) {
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        word.remove_prefix(2);
    }
    if (word.empty() || word.size() > 4)
        return std::nullopt;
    unsigned value = 0;
    for (char c : word) {
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : base == 16 && std::isxdigit(static_cast<unsigned char>(c))
                        ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                        : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * unsigned(base) + unsigned(digit);
    }
    return value;
}

} // namespace

std::span<const DDCInputSource> ddcInputSources() {
    return sources;
}

const DDCInputSource* inputSourceWithValue(std::optional<std::uint8_t> value) {
    if (!value)
        return nullptr;
    for (const auto& source : sources)
        if (source.value == *value)
            return &source;
    return nullptr;
}

std::string_view inputSourceSymbol(std::optional<std::uint8_t> value) {
    const DDCInputSource* source = inputSourceWithValue(value);
    return source ? std::string_view(source->symbol) : std::string_view("cable.connector");
}

std::optional<std::uint8_t> parseInputSource(std::string_view word) {
    const std::string key = folded(word);
    if (key.empty())
        return std::nullopt;
    for (const auto& source : sources)
        if (folded(source.name) == key)
            return source.value;
    // Value 0 is no input: a monitor told to show it would go dark.
    if (auto value = number(word); value && *value >= 1 && *value <= 0xFF)
        return static_cast<std::uint8_t>(*value);
    return std::nullopt;
}

} // namespace brivio
