#pragma once
// DDC/CI over a monitor's I2C channel: one VCP feature read (Get VCP, with retries) or written (Set VCP)
// as the exact bytes the protocol prescribes. Knows nothing of displays or capabilities.

#include "base/Task.h"
#include "platform/AVService.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace brivio {

// The current and maximum value of one VCP feature.
struct VCPReading {
    std::uint16_t current = 0;
    std::uint16_t max = 0;
    bool operator==(const VCPReading&) const = default;
};

namespace ddc {
constexpr std::uint32_t chipAddress = 0x37; // 7-bit display address (0x6E/0x6F on the wire)
constexpr std::uint32_t hostAddress = 0x51; // data address of every write
constexpr std::uint32_t replyOffset = 0;    // data address of every read
constexpr std::size_t replyLength = 11;
constexpr int maxReadAttempts = 5;

constexpr std::uint8_t brightness = 0x10;
constexpr std::uint8_t contrast = 0x12;
constexpr std::uint8_t volume = 0x62;
constexpr std::uint8_t inputSelect = 0x60;
constexpr std::uint8_t powerMode = 0xD6;
} // namespace ddc

// Finds the first "reply, no error, `code`" pattern in `buffer` and decodes the big-endian maximum and
// current value after it. Absent without a match or when the maximum is 0.
std::optional<VCPReading> decodeVCPReply(const std::uint8_t* buffer, std::size_t length, std::uint8_t code);

// Reads one feature: request written twice, reply read, up to five attempts. The waits run whole even
// when the awaiting task is cancelled (the bus needs them); the awaiting task notices afterwards.
// Arguments are taken by value so that a lazily started read never refers to a caller's temporaries.
Task<std::optional<VCPReading>> getVCP(AVServiceSymbols symbols, AVServiceHandle handle, std::uint8_t code);

// Writes one feature once; true when the platform accepted the bytes.
bool setVCP(const AVServiceSymbols& symbols, const AVServiceHandle& handle, std::uint8_t code,
            std::uint16_t value);

} // namespace brivio
