#include "drivers/DDCTransport.h"

#include "base/Log.h"

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <string>

namespace brivio {

namespace {

constexpr std::uint8_t replyOpcode = 0x02;
constexpr std::uint8_t resultNoError = 0x00;

std::string hexBytes(const std::uint8_t* bytes, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (i)
            text += ' ';
        text += fmt::format("{:02X}", bytes[i]);
    }
    return text;
}

} // namespace

std::optional<VCPReading> decodeVCPReply(const std::uint8_t* buffer, std::size_t length, std::uint8_t code) {
    // The source-address and length bytes in front of the opcode vary between monitors; skip them.
    for (std::size_t i = 0; i + 7 < length; ++i) {
        if (buffer[i] != replyOpcode || buffer[i + 1] != resultNoError || buffer[i + 2] != code)
            continue;
        VCPReading reading;
        reading.max = static_cast<std::uint16_t>(buffer[i + 4] << 8 | buffer[i + 5]);
        reading.current = static_cast<std::uint16_t>(buffer[i + 6] << 8 | buffer[i + 7]);
        // A continuous feature with a maximum of 0 has not really answered.
        if (reading.max == 0 && code != ddc::inputSelect && code != ddc::powerMode)
            return std::nullopt;
        return reading;
    }
    return std::nullopt;
}

Task<VCPRead> readVCP(AVServiceSymbols symbols, AVServiceHandle handle, std::uint8_t code, int waitScale,
                      int attempts) {
    VCPRead result;
    if (!symbols.writeI2C || !symbols.readI2C)
        co_return result;
    const int scale = std::max(waitScale, 1);
    // Checksum: XOR of 0x6E, 0x51, 0x82, 0x01 and the code.
    const std::array<std::uint8_t, 4> request{0x82, 0x01, code, static_cast<std::uint8_t>(code ^ 0xBC)};
    for (int attempt = 0;;) {
        co_await sleepThrough(scale * 10ms);
        // Write results are not checked: the read that follows decides.
        symbols.writeI2C(handle, ddc::chipAddress, ddc::hostAddress, request.data(), request.size());
        co_await sleepThrough(scale * 10ms);
        symbols.writeI2C(handle, ddc::chipAddress, ddc::hostAddress, request.data(), request.size());
        co_await sleepThrough(scale * 50ms);
        std::array<std::uint8_t, ddc::replyLength> reply{};
        const int kr =
            symbols.readI2C(handle, ddc::chipAddress, ddc::replyOffset, reply.data(), reply.size());
        if (kr != 0 && !(symbols.readRefused && symbols.readRefused(kr)))
            co_return result;
        if (kr != 0) {
            logDebug(LogCategory::driver, "DDC: 0x{:02X} reply[{}] refused ({})", code, attempt, kr);
        } else {
            // A DDC/CI message, the null message included, comes from the display's address; a buffer
            // without it (all zeros, say) is no sign that a monitor is there.
            result.repliedAtAll = result.repliedAtAll || std::find(reply.begin(), reply.begin() + 3,
                                                                   std::uint8_t{0x6E}) != reply.begin() + 3;
            logDebug(LogCategory::driver, "DDC: 0x{:02X} reply[{}] {}", code, attempt,
                     hexBytes(reply.data(), reply.size()));
            if ((result.reading = decodeVCPReply(reply.data(), reply.size(), code)))
                co_return result;
        }
        if (++attempt >= attempts)
            co_return result;
        co_await sleepThrough(scale * 20ms);
    }
}

Task<PatientRead> readVCPPatiently(AVServiceSymbols symbols, AVServiceHandle handle, std::uint8_t code,
                                   int waitScale) {
    PatientRead result{std::nullopt, std::max(waitScale, 1)};
    VCPRead first = co_await readVCP(symbols, handle, code, result.waitScale);
    if (first.reading || !first.repliedAtAll) {
        result.reading = first.reading;
        co_return result;
    }
    for (int scale : replyWaitScales) {
        if (scale <= result.waitScale)
            continue;
        logDebug(LogCategory::driver, "DDC: 0x{:02X} no reply in time; waiting {}× as long", code, scale);
        VCPRead longer = co_await readVCP(symbols, handle, code, scale, longerWaitAttempts);
        if (longer.reading) {
            result.reading = longer.reading;
            result.waitScale = scale;
            co_return result;
        }
    }
    co_return result;
}

Task<std::optional<VCPReading>> getVCP(AVServiceSymbols symbols, AVServiceHandle handle, std::uint8_t code) {
    VCPRead read = co_await readVCP(std::move(symbols), std::move(handle), code);
    co_return read.reading;
}

bool setVCP(const AVServiceSymbols& symbols, const AVServiceHandle& handle, std::uint8_t code,
            std::uint16_t value) {
    if (!symbols.writeI2C)
        return false;
    const auto high = static_cast<std::uint8_t>(value >> 8);
    const auto low = static_cast<std::uint8_t>(value & 0xFF);
    // Checksum 0xB8 = 0x6E ^ 0x51 ^ 0x84 ^ 0x03.
    const std::array<std::uint8_t, 6> request{
        0x84, 0x03, code, high, low, static_cast<std::uint8_t>(0xB8 ^ code ^ high ^ low)};
    const int kr =
        symbols.writeI2C(handle, ddc::chipAddress, ddc::hostAddress, request.data(), request.size());
    logDebug(LogCategory::driver, "DDC: SetVCP 0x{:02X}={} kr=0x{:08X}", code, value,
             static_cast<std::uint32_t>(kr));
    return kr == 0;
}

} // namespace brivio
