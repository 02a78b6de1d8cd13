#include "platform/linux/EdidData.h"

#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace brivio::testing {

std::string edidDir() {
    return (std::filesystem::path(sourceDir()) / "tests" / "data" / "edid").string();
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> sharedEdid(const std::string& file) {
    return readFile(edidDir() + "/" + file);
}

void fixChecksums(std::vector<std::uint8_t>& edid) {
    for (std::size_t start = 0; start + 128 <= edid.size(); start += 128) {
        unsigned sum = 0;
        for (std::size_t i = start; i < start + 127; ++i)
            sum += edid[i];
        edid[start + 127] = static_cast<std::uint8_t>(256 - sum % 256);
    }
}

std::vector<std::uint8_t> makeEdid(std::uint16_t vendor, std::uint16_t product, std::uint32_t serial) {
    std::vector<std::uint8_t> edid(128, 0);
    std::uint8_t head[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(head), std::end(head), edid.begin());
    edid[8] = vendor >> 8;
    edid[9] = vendor & 0xFF;
    edid[10] = product & 0xFF;
    edid[11] = product >> 8;
    for (int i = 0; i < 4; ++i)
        edid[12 + i] = (serial >> (8 * i)) & 0xFF;
    edid[18] = 1;
    edid[19] = 4;
    // Every slot a dummy descriptor (tag 0x10), so nothing reads as a timing or a name.
    for (int slot = 0; slot < 4; ++slot)
        edid[54 + 18 * slot + 3] = 0x10;
    fixChecksums(edid);
    return edid;
}

void setDescriptor(std::vector<std::uint8_t>& edid, int slot, std::uint8_t tag, const std::string& text) {
    std::size_t at = 54 + 18 * slot;
    std::fill(edid.begin() + at, edid.begin() + at + 18, 0);
    edid[at + 3] = tag;
    for (std::size_t i = 0; i < text.size() && i < 13; ++i)
        edid[at + 5 + i] = static_cast<std::uint8_t>(text[i]);
    fixChecksums(edid);
}

} // namespace brivio::testing
