#include "model/DisplayName.h"

#include "base/EdidText.h"

#include <array>

namespace brivio {

namespace {

constexpr std::size_t minimumEdidSize = 128;
constexpr std::size_t descriptorSize = 18;
constexpr std::array<std::size_t, 4> descriptorOffsets{54, 72, 90, 108};
constexpr std::uint8_t productNameTag = 0xFC;

bool isProductNameDescriptor(std::span<const std::uint8_t> block) {
    return block[0] == 0 && block[1] == 0 && block[2] == 0 && block[3] == productNameTag && block[4] == 0;
}

// White space of ISO Latin-1: the ASCII controls tab to carriage return, space, NEL and no-break space.
bool isLatin1Space(std::uint8_t byte) {
    return (byte >= 0x09 && byte <= 0x0D) || byte == 0x20 || byte == 0x85 || byte == 0xA0;
}

// The name text of a descriptor: cut at the first line feed and trimmed. A NUL ends it too, so
// zero padding never ends up inside a name.
std::string descriptorText(std::span<const std::uint8_t> text) {
    return edidDescriptorText(text, {.endsAtNul = true, .isPadding = isLatin1Space});
}

} // namespace

std::optional<std::string> productNameFromEdid(std::span<const std::uint8_t> edid, std::uint32_t vendorID,
                                               std::uint32_t productID) {
    if (edid.size() < minimumEdidSize)
        return std::nullopt;
    std::uint32_t edidVendor = std::uint32_t{edid[8]} << 8 | edid[9];
    std::uint32_t edidProduct = edid[10] | std::uint32_t{edid[11]} << 8;
    if (edidVendor != vendorID || edidProduct != productID)
        return std::nullopt;
    for (std::size_t offset : descriptorOffsets) {
        if (offset + descriptorSize > edid.size())
            break;
        auto block = edid.subspan(offset, descriptorSize);
        if (!isProductNameDescriptor(block))
            continue;
        std::string name = descriptorText(block.subspan(5));
        if (name.empty())
            return std::nullopt;
        return name;
    }
    return std::nullopt;
}

std::optional<std::string> productNameFromEdids(const std::vector<EdidBlock>& edids, std::uint32_t vendorID,
                                                std::uint32_t productID) {
    for (const auto& edid : edids)
        if (auto name = productNameFromEdid(edid, vendorID, productID))
            return name;
    return std::nullopt;
}

namespace {

std::optional<std::string> nameBeforeEdid(bool isBuiltIn, const std::optional<std::string>& screenName) {
    if (isBuiltIn)
        return builtInDisplayName;
    return screenName;
}

std::string numberedName(std::uint32_t displayNumber) {
    return "Display " + std::to_string(displayNumber);
}

} // namespace

std::string resolveDisplayName(bool isBuiltIn, const std::optional<std::string>& screenName,
                               const EdidSource& serviceEdids, std::uint32_t vendorID,
                               std::uint32_t productID, std::uint32_t displayNumber) {
    if (auto name = nameBeforeEdid(isBuiltIn, screenName))
        return *name;
    if (serviceEdids)
        if (auto name = productNameFromEdids(serviceEdids(), vendorID, productID))
            return *name;
    return numberedName(displayNumber);
}

std::string resolveDisplayName(bool isBuiltIn, const std::optional<std::string>& screenName,
                               const std::vector<EdidBlock>& serviceEdids, std::uint32_t vendorID,
                               std::uint32_t productID, std::uint32_t displayNumber) {
    if (auto name = nameBeforeEdid(isBuiltIn, screenName))
        return *name;
    if (auto name = productNameFromEdids(serviceEdids, vendorID, productID))
        return *name;
    return numberedName(displayNumber);
}

} // namespace brivio
