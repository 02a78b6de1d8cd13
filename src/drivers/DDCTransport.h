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
// current value after it. Absent without a match, or when the maximum of a continuous feature is 0:
// input select and power mode take a list of values, and monitors often report their maximum as 0.
std::optional<VCPReading> decodeVCPReply(const std::uint8_t* buffer, std::size_t length, std::uint8_t code);

// The outcome of one read: the reading, and whether the monitor gave any DDC/CI message back at all
// (null messages included), which tells a slow monitor from one that refuses every read or is silent.
struct VCPRead {
    std::optional<VCPReading> reading;
    bool repliedAtAll = false;
};

// Reads one feature: request written twice, reply read, up to `attempts` attempts. `waitScale` stretches
// every wait (1: 10, 10 and 50 ms, and 20 ms between attempts) for monitors that answer slowly. A read
// the platform reports as refused for a moment (`AVServiceSymbols::readRefused`) counts as an
// unanswered attempt; any other failed read ends the sequence. The waits run whole even when the
// awaiting task is cancelled (the bus needs them); the awaiting task notices afterwards. Arguments are
// taken by value so that a lazily started read never refers to a caller's temporaries.
Task<VCPRead> readVCP(AVServiceSymbols symbols, AVServiceHandle handle, std::uint8_t code, int waitScale = 1,
                      int attempts = ddc::maxReadAttempts);
// How much longer than the first waits a monitor may need before its reply, in the order tried.
inline constexpr int replyWaitScales[] = {1, 2, 4};
inline constexpr int longerWaitAttempts = 2;

// A reading, and the wait scale at which it came.
struct PatientRead {
    std::optional<VCPReading> reading;
    int waitScale = 1;
};

// Reads at `waitScale`; when the monitor gave only null messages (it is there, but not ready in time),
// it gets a second chance with each longer scale in turn, two attempts each. A monitor that refuses
// every read or gives nothing back gets none: it is busy or has no DDC/CI, and waiting does not help.
Task<PatientRead> readVCPPatiently(AVServiceSymbols symbols, AVServiceHandle handle, std::uint8_t code,
                                   int waitScale);

// The reading of `readVCP` at the first waits.
Task<std::optional<VCPReading>> getVCP(AVServiceSymbols symbols, AVServiceHandle handle, std::uint8_t code);

// Writes one feature once; true when the platform accepted the bytes.
bool setVCP(const AVServiceSymbols& symbols, const AVServiceHandle& handle, std::uint8_t code,
            std::uint16_t value);

} // namespace brivio
