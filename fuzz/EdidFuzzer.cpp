// Feeds arbitrary bytes to the EDID parser and checks what it promises about any input.
#include "platform/linux/Edid.h"

#include <cstdlib>
#include <string>

namespace {

bool validUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        auto byte = static_cast<unsigned char>(s[i]);
        if (byte < 0x80)
            continue;
        // Latin-1 decodes to two-byte sequences only.
        if ((byte & 0xE0) != 0xC0 || i + 1 >= s.size() ||
            (static_cast<unsigned char>(s[i + 1]) & 0xC0) != 0x80)
            return false;
        ++i;
    }
    return true;
}

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    std::string error;
    auto edid = brivio::parseEdid(bytes, &error);
    if (!edid) {
        check(!error.empty());
        return 0;
    }
    check(size >= brivio::edidBlockSize);
    check(edid->blocks >= 1 && static_cast<std::size_t>(edid->blocks) * brivio::edidBlockSize <= size);
    check(edid->pnpId.size() == 3);
    if (edid->name)
        check(edid->name->size() <= 26 && validUtf8(*edid->name));
    if (edid->serialString)
        check(edid->serialString->size() <= 26 && validUtf8(*edid->serialString));
    if (edid->preferredMode)
        check(edid->preferredMode->width > 0 && edid->preferredMode->refreshRate >= 0);
    check(brivio::parseEdid(bytes) == edid);
    return 0;
}
