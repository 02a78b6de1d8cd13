#include "platform/sim/Edid.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace brivio {

namespace {

std::vector<std::uint8_t> toLatin1(const std::string& utf8) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto c = static_cast<std::uint8_t>(utf8[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            unsigned code = (c & 0x1Fu) << 6 | (static_cast<std::uint8_t>(utf8[i + 1]) & 0x3Fu);
            out.push_back(code <= 0xFF ? std::uint8_t(code) : std::uint8_t('?'));
            i += 2;
        } else {
            // Beyond Latin-1: one placeholder for the whole sequence.
            std::size_t length = (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
            out.push_back('?');
            i += length;
        }
    }
    return out;
}

// A text descriptor (monitor name 0xFC, serial string 0xFF): 13 bytes, line feed, space padding.
void textDescriptor(std::uint8_t* block, std::uint8_t tag, const std::vector<std::uint8_t>& text) {
    std::fill_n(block, 18, 0);
    block[3] = tag;
    std::size_t n = std::min<std::size_t>(text.size(), 13);
    std::copy_n(text.begin(), n, block + 5);
    if (n < 13) {
        block[5 + n] = 0x0A;
        std::fill(block + 6 + n, block + 18, 0x20);
    }
}

// The preferred detailed timing: the active size with modest blanking at the given rate.
void timingDescriptor(std::uint8_t* block, std::uint32_t width, std::uint32_t height, int refreshRate) {
    std::uint32_t hActive = std::min<std::uint32_t>(width, 4095),
                  vActive = std::min<std::uint32_t>(height, 4095);
    std::uint32_t hBlank = 160, vBlank = 40;
    std::uint64_t clock10kHz =
        std::uint64_t(hActive + hBlank) * (vActive + vBlank) * std::uint64_t(refreshRate) / 10000;
    clock10kHz = std::clamp<std::uint64_t>(clock10kHz, 1, 65535);
    block[0] = std::uint8_t(clock10kHz & 0xFF);
    block[1] = std::uint8_t(clock10kHz >> 8);
    block[2] = std::uint8_t(hActive & 0xFF);
    block[3] = std::uint8_t(hBlank & 0xFF);
    block[4] = std::uint8_t((hActive >> 8) << 4 | (hBlank >> 8));
    block[5] = std::uint8_t(vActive & 0xFF);
    block[6] = std::uint8_t(vBlank & 0xFF);
    block[7] = std::uint8_t((vActive >> 8) << 4 | (vBlank >> 8));
    block[8] = 48;    // horizontal front porch
    block[9] = 32;    // horizontal sync width
    block[10] = 0x35; // vertical front porch 3, sync width 5
    block[11] = 0;
    block[12] = 0x58; // image size in millimetres, 600 x 340
    block[13] = 0x54;
    block[14] = 0x21;
    block[15] = 0;
    block[16] = 0;
    block[17] = 0x1A; // digital separate sync, positive polarities
}

} // namespace

std::vector<std::uint8_t> makeEdid(std::uint32_t vendor, std::uint32_t product, std::uint32_t serial,
                                   const std::string& name, std::uint32_t width, std::uint32_t height,
                                   int refreshRate) {
    std::vector<std::uint8_t> e(128, 0);
    constexpr std::array<std::uint8_t, 8> header{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(header.begin(), header.end(), e.begin());
    // The manufacturer is stored big-endian, the product and serial little-endian.
    e[8] = std::uint8_t(vendor >> 8);
    e[9] = std::uint8_t(vendor);
    e[10] = std::uint8_t(product);
    e[11] = std::uint8_t(product >> 8);
    for (int i = 0; i < 4; ++i)
        e[12 + i] = std::uint8_t(serial >> (8 * i));
    e[16] = 1;           // week of manufacture
    e[17] = 2023 - 1990; // year of manufacture
    e[18] = 1;           // version 1.4
    e[19] = 4;
    e[20] = 0xA5; // digital input, 8 bits per colour
    e[21] = 60;   // screen size in centimetres
    e[22] = 34;
    e[23] = 120;  // gamma 2.2
    e[24] = 0x06; // RGB colour, preferred timing in the first descriptor
    constexpr std::array<std::uint8_t, 10> chromaticity{0xEE, 0x91, 0xA3, 0x54, 0x4C,
                                                        0x99, 0x26, 0x0F, 0x50, 0x54};
    std::copy(chromaticity.begin(), chromaticity.end(), e.begin() + 25);
    for (int i = 38; i < 54; ++i)
        e[i] = 0x01; // no standard timings
    timingDescriptor(&e[54], width, height, refreshRate);
    textDescriptor(&e[72], 0xFC, toLatin1(name));
    if (serial != 0) {
        std::string digits = std::to_string(serial);
        textDescriptor(&e[90], 0xFF, std::vector<std::uint8_t>(digits.begin(), digits.end()));
    } else {
        e[93] = 0x10; // dummy descriptor
    }
    e[111] = 0x10;
    e[126] = 0; // no extension blocks
    unsigned sum = std::accumulate(e.begin(), e.begin() + 127, 0u);
    e[127] = std::uint8_t((256 - sum % 256) % 256);
    return e;
}

} // namespace brivio
