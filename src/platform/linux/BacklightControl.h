#pragma once
// The built-in panel's brightness as the system brightness service: read from its backlight device,
// written to the device's file when that is writable, else through the login session, which lets the
// seat's user set it without root.

#include "platform/AVService.h"
#include "platform/linux/Backlight.h"
#include "platform/linux/LinuxDisplays.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace brivio {

class SystemBus;

// Sets a backlight device's raw level on the user's behalf; false when that cannot be done.
using SessionBrightness = std::function<bool(const std::string& device, std::uint32_t raw)>;

// logind's SetBrightness on the caller's session; false (logged once a cause) when the bus or the
// session is missing or refuses.
SessionBrightness logindSessionBrightness(SystemBus& bus);

class BacklightControl {
public:
    // Writes a raw level to a device's brightness file; false when the file cannot be written.
    using FileWriter = std::function<bool(const std::filesystem::path& file, std::uint64_t raw)>;

    BacklightControl(LinuxDisplays& displays, BacklightScanner scanner, SessionBrightness session,
                     FileWriter writeFile = writeSysfsNumber);

    // Only the built-in panel has one; absent for other displays or when it cannot be read.
    std::optional<double> level(DisplayNumber display);
    bool setLevel(DisplayNumber display, double level);
    std::optional<Backlight> backlightFor(DisplayNumber display);

    // The brightness-service entry points over this object, which must outlive them.
    DisplayServicesSymbols symbols();

    static bool writeSysfsNumber(const std::filesystem::path& file, std::uint64_t raw);
    // The raw level for a fraction: rounded, and never 0 so that the panel does not go black.
    static std::uint64_t rawLevel(double level, std::uint64_t maxBrightness);

private:
    LinuxDisplays& displays_;
    BacklightScanner scanner_;
    SessionBrightness session_;
    FileWriter writeFile_;
};

} // namespace brivio
