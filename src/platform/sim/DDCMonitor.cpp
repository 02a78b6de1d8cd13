#include "platform/sim/DDCMonitor.h"

#include <algorithm>

namespace brivio {

namespace {
constexpr std::uint8_t displayAddress = 0x6E; // the 8-bit write address of chip 0x37
constexpr std::uint8_t replySourceAddress = 0x50;
constexpr std::uint8_t getVcpOpcode = 0x01;
constexpr std::uint8_t getVcpReplyOpcode = 0x02;
constexpr std::uint8_t setVcpOpcode = 0x03;
constexpr Duration replyPreparation = 40ms;
constexpr std::uint8_t inputSelect = 0x60;
constexpr std::uint8_t powerMode = 0xD6;

// Input and power mode values are codes; only levels are held to the feature's maximum.
std::uint16_t stored(std::uint8_t code, std::uint16_t value, const VcpFeature& feature) {
    if (code == inputSelect || code == powerMode || feature.max == 0)
        return value;
    return std::min(value, feature.max);
}
} // namespace

DDCMonitor::DDCMonitor(const MainLoop& loop, std::optional<ScenarioDDC> config)
    : loop_(loop), config_(std::move(config)) {}

std::vector<std::uint8_t> DDCMonitor::getVcpReply(std::uint8_t code, std::optional<VcpFeature> feature) {
    VcpFeature f = feature.value_or(VcpFeature{});
    std::vector<std::uint8_t> reply{displayAddress,
                                    0x88,
                                    getVcpReplyOpcode,
                                    std::uint8_t(feature ? 0x00 : 0x01),
                                    code,
                                    0x00,
                                    std::uint8_t(f.max >> 8),
                                    std::uint8_t(f.max),
                                    std::uint8_t(f.current >> 8),
                                    std::uint8_t(f.current),
                                    0};
    std::uint8_t checksum = replySourceAddress;
    for (std::size_t i = 0; i + 1 < reply.size(); ++i)
        checksum ^= reply[i];
    reply.back() = checksum;
    return reply;
}

int DDCMonitor::write(std::uint32_t chip, std::uint32_t dataAddress, const std::uint8_t* bytes,
                      std::uint32_t length) {
    if (chip != chipAddress)
        return SimResult::noDevice;
    if (!answers())
        return 0; // nobody listens, but the bus took the bytes
    // A message: length byte 0x80|n, n payload bytes, checksum over both addresses and the rest.
    if (dataAddress != hostAddress || length < 2 || (bytes[0] & 0x80) == 0 ||
        std::uint32_t(bytes[0] & 0x7F) + 2 != length)
        return 0;
    std::uint8_t checksum = displayAddress ^ hostAddress;
    for (std::uint32_t i = 0; i + 1 < length; ++i)
        checksum ^= bytes[i];
    if (checksum != bytes[length - 1])
        return 0; // corrupted on the wire: ignored
    bool isSet = length >= 2 && bytes[1] == setVcpOpcode;
    if (isSet && config_->writeFails)
        return SimResult::busError;
    if (isSet && refusedSets_ > 0) {
        --refusedSets_;
        return SimResult::busError;
    }
    handle(bytes + 1, length - 2);
    return 0;
}

void DDCMonitor::handle(const std::uint8_t* payload, std::size_t length) {
    if (length == 2 && payload[0] == getVcpOpcode) {
        reply_ = getVcpReply(payload[1], feature(payload[1]));
        replyRequestedAt_ = loop_.now();
        return;
    }
    if (length == 4 && payload[0] == setVcpOpcode) {
        Duration minInterval = std::chrono::milliseconds(config_->minWriteIntervalMs);
        if (lastSetAt_ && loop_.now() - *lastSetAt_ < minInterval) {
            ++setsDropped_;
            return;
        }
        lastSetAt_ = loop_.now();
        ++setsApplied_;
        auto it = config_->vcp.find(payload[1]);
        if (it == config_->vcp.end())
            return;
        std::uint16_t v = std::uint16_t(payload[2] << 8 | payload[3]);
        // An input the monitor lacks: acknowledged like any request, and it stays where it is.
        if (payload[1] == inputSelect && config_->inputs &&
            std::find(config_->inputs->begin(), config_->inputs->end(), std::uint8_t(v & 0xFF)) ==
                config_->inputs->end())
            return;
        it->second.current = stored(payload[1], v, it->second);
    }
    // Other requests (capabilities, timing reports) are not modelled and get no reply.
}

int DDCMonitor::read(std::uint32_t chip, std::uint32_t, std::uint8_t* buffer, std::uint32_t length) {
    if (chip != chipAddress)
        return SimResult::noDevice;
    std::fill_n(buffer, length, 0);
    if (!answers())
        return 0;
    ++readCalls_;
    if (readCalls_ <= config_->failReads)
        return SimResult::busError;
    if (readCalls_ <= config_->failReads + config_->zeroReplies)
        return 0;
    if (!reply_)
        return 0;
    if (config_->strictTiming && loop_.now() - replyRequestedAt_ < replyPreparation)
        return 0; // still preparing; the reply stays for a later read
    std::copy_n(reply_->begin(), std::min<std::size_t>(length, reply_->size()), buffer);
    reply_.reset();
    return 0;
}

std::optional<VcpFeature> DDCMonitor::feature(std::uint8_t code) const {
    if (!config_)
        return std::nullopt;
    auto it = config_->vcp.find(code);
    return it == config_->vcp.end() ? std::nullopt : std::optional(it->second);
}

std::optional<std::uint16_t> DDCMonitor::value(std::uint8_t code) const {
    auto f = feature(code);
    return f ? std::optional(f->current) : std::nullopt;
}

void DDCMonitor::setValue(std::uint8_t code, std::uint16_t value) {
    if (!config_)
        return;
    auto it = config_->vcp.find(code);
    if (it != config_->vcp.end())
        it->second.current = stored(code, value, it->second);
}

} // namespace brivio
