#include "base/EdidText.h"

namespace brivio {

std::string latin1ToUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

std::string edidDescriptorText(std::span<const std::uint8_t> text, EdidTextRules rules) {
    auto ends = [&](std::uint8_t byte) { return byte == '\n' || (rules.endsAtNul && byte == 0); };
    auto padding = [&](std::uint8_t byte) { return rules.isPadding && rules.isPadding(byte); };
    std::size_t end = 0;
    while (end < text.size() && !ends(text[end]))
        ++end;
    std::size_t begin = 0;
    while (begin < end && padding(text[begin]))
        ++begin;
    while (end > begin && padding(text[end - 1]))
        --end;
    return latin1ToUtf8(text.subspan(begin, end - begin));
}

} // namespace brivio
