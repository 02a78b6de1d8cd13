#pragma once
// The folder of real EDIDs shared with the tests, and small helpers to read and make EDIDs.

#include <cstdint>
#include <string>
#include <vector>

namespace brivio::testing {

// Real EDIDs the tests use by name.
inline const std::string laptopPanel = "C8D6E1541720.bin"; // AUO 1920x1080, no name
inline const std::string dellMonitor = "B21DE802A937.bin"; // DELL U3219Q
inline const std::string asusMonitor = "0CE9433C3C68.bin"; // ROG XG279Q

// tests/data/edid in the source tree.
std::string edidDir();

std::vector<std::uint8_t> readFile(const std::string& path);
// One file of the shared EDID folder.
std::vector<std::uint8_t> sharedEdid(const std::string& file);

// A minimal valid base block: header, the given vendor bytes, no descriptors, a correct checksum.
std::vector<std::uint8_t> makeEdid(std::uint16_t vendor, std::uint16_t product, std::uint32_t serial);
// Puts a display descriptor with `tag` and up to 13 bytes of text at descriptor slot 0-3.
void setDescriptor(std::vector<std::uint8_t>& edid, int slot, std::uint8_t tag, const std::string& text);
// Makes every block sum to zero again.
void fixChecksums(std::vector<std::uint8_t>& edid);

} // namespace brivio::testing
