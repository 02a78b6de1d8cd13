#include "platform/linux/Edid.h"

#include "base/EdidText.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace brivio {

namespace {

constexpr std::array<std::uint8_t, 8> header{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::array<std::size_t, 4> descriptorOffsets{54, 72, 90, 108};
constexpr std::size_t descriptorSize = 18;
constexpr std::size_t descriptorTextSize = 13;
constexpr std::uint8_t nameTag = 0xFC;
constexpr std::uint8_t serialTag = 0xFF;
constexpr std::size_t extensionCountOffset = 126;

std::uint32_t littleEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}

std::string pnpLetters(std::uint16_t vendor) {
    std::string letters;
    for (int shift : {10, 5, 0}) {
        // 1 is 'A'; codes outside the alphabet keep their ASCII neighbours ('@' for 0), as other
        // readers show them, so the same monitor gets the same letters everywhere.
        letters.push_back(static_cast<char>('@' + ((vendor >> shift) & 0x1F)));
    }
    return letters;
}

bool isTrimmed(std::uint8_t byte) {
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == 0;
}

// Descriptor text ends at a line feed; monitors pad the rest with spaces or zeros.
std::string descriptorText(std::span<const std::uint8_t> text) {
    return edidDescriptorText(text, {.endsAtNul = false, .isPadding = isTrimmed});
}

// A display descriptor starts with a zero pixel clock; a detailed timing does not.
bool isDisplayDescriptor(std::span<const std::uint8_t> d) {
    return d[0] == 0 && d[1] == 0;
}

std::optional<EdidMode> detailedTiming(std::span<const std::uint8_t> d) {
    std::uint32_t pixelClock = (d[0] | std::uint32_t{d[1]} << 8) * 10'000u; // stored in 10 kHz
    std::uint32_t hActive = d[2] | std::uint32_t{d[4] & 0xF0u} << 4;
    std::uint32_t hBlank = d[3] | std::uint32_t{d[4] & 0x0Fu} << 8;
    std::uint32_t vActive = d[5] | std::uint32_t{d[7] & 0xF0u} << 4;
    std::uint32_t vBlank = d[6] | std::uint32_t{d[7] & 0x0Fu} << 8;
    if (hActive == 0 || vActive == 0)
        return std::nullopt;
    EdidMode mode;
    mode.interlaced = (d[17] & 0x80) != 0;
    mode.width = hActive;
    // An interlaced timing gives the lines of one field.
    mode.height = mode.interlaced ? vActive * 2 : vActive;
    double total = double(hActive + hBlank) * double(vActive + vBlank);
    double fieldRate = total > 0 ? pixelClock / total : 0;
    mode.refreshRate = mode.interlaced ? fieldRate / 2 : fieldRate;
    return mode;
}

void fail(std::string* error, const char* why) {
    if (error)
        *error = why;
}

} // namespace

std::optional<Edid> parseEdid(std::span<const std::uint8_t> data, std::string* error) {
    if (data.size() < edidBlockSize) {
        fail(error, "EDID shorter than 128 bytes");
        return std::nullopt;
    }
    if (!std::equal(header.begin(), header.end(), data.begin())) {
        fail(error, "EDID header missing");
        return std::nullopt;
    }
    Edid edid;
    edid.vendorId = static_cast<std::uint16_t>(data[8] << 8 | data[9]);
    edid.pnpId = pnpLetters(edid.vendorId);
    edid.productId = static_cast<std::uint16_t>(data[10] | data[11] << 8);
    edid.serial = littleEndian(data.subspan(12, 4));
    edid.week = data[16];
    edid.year = 1990 + data[17];
    edid.version = std::to_string(data[18]) + "." + std::to_string(data[19]);
    edid.digital = (data[20] & 0x80) != 0;

    // Bytes beyond the declared extensions (a second copy of the EDID, say) are not part of it.
    std::size_t declared = 1 + std::size_t{data[extensionCountOffset]};
    std::size_t present = data.size() / edidBlockSize;
    edid.blocks = static_cast<int>(std::min(declared, present));
    edid.checksumOk = true;
    for (int b = 0; b < edid.blocks; ++b) {
        auto block = data.subspan(b * edidBlockSize, edidBlockSize);
        unsigned sum = std::accumulate(block.begin(), block.end(), 0u);
        if (sum % 256 != 0)
            edid.checksumOk = false;
    }

    for (std::size_t offset : descriptorOffsets) {
        auto d = data.subspan(offset, descriptorSize);
        if (!isDisplayDescriptor(d)) {
            if (offset == descriptorOffsets.front())
                edid.preferredMode = detailedTiming(d);
            continue;
        }
        auto text = d.subspan(5, descriptorTextSize);
        if (d[3] == nameTag && !edid.name)
            edid.name = descriptorText(text);
        else if (d[3] == serialTag && !edid.serialString)
            edid.serialString = descriptorText(text);
    }
    return edid;
}

} // namespace brivio
