#pragma once
// The I2C channel of a display's AV service, reached through a table of entry points that a backend
// fills once: each entry is present or absent, and an absent one is never looked up again.

#include "platform/Registry.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace brivio {

// An open channel to one monitor; released when the last reference goes.
class AVServiceChannel {
public:
    virtual ~AVServiceChannel() = default;
};
using AVServiceHandle = std::shared_ptr<AVServiceChannel>;

struct AVServiceSymbols {
    // Creates a channel for a registry service; null when the service has none.
    std::function<AVServiceHandle(const RegistryService&)> createWithService;
    // 0 when the bytes were handed to the bus.
    std::function<int(const AVServiceHandle&, std::uint32_t chipAddress, std::uint32_t dataAddress,
                      const std::uint8_t* bytes, std::uint32_t length)>
        writeI2C;
    // 0 when `length` bytes were placed in `buffer`.
    std::function<int(const AVServiceHandle&, std::uint32_t chipAddress, std::uint32_t offset,
                      std::uint8_t* buffer, std::uint32_t length)>
        readI2C;
    // True for a result of `readI2C` that means the monitor refused this read for a moment (busy), so
    // that the read is tried again; absent: every failed read is final.
    std::function<bool(int result)> readRefused;
};

// The system's own brightness control of a display (the built-in panel's backlight, for instance).
struct DisplayServicesSymbols {
    // 0 on success, with the level in [0, 1] in `brightness`.
    std::function<int(std::uint32_t display, float& brightness)> getBrightness;
    std::function<int(std::uint32_t display, float brightness)> setBrightness;
};

} // namespace brivio
