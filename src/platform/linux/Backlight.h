#pragma once
// The backlight devices of /sys/class/backlight, and the choice of the one that lights the built-in
// panel. Reading only; levels are written through the session manager, not sysfs.

#include "platform/linux/DrmConnector.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

// The kernel's kinds, in the order a panel's backlight is best reached through.
enum class BacklightType { firmware, platform, raw, unknown };

BacklightType backlightTypeFromString(std::string_view text);

struct Backlight {
    std::string name; // "intel_backlight"
    BacklightType type = BacklightType::unknown;
    std::uint64_t brightness = 0;
    std::uint64_t maxBrightness = 0;
    std::filesystem::path path;                  // the device folder, links resolved
    std::optional<std::filesystem::path> device; // where its `device` link leads, resolved

    // brightness / max in [0, 1]; absent when the maximum is 0.
    std::optional<double> level() const;
    bool operator==(const Backlight&) const = default;
};

class BacklightScanner {
public:
    explicit BacklightScanner(std::filesystem::path sysfsRoot = "/sys");

    // Every device whose brightness and maximum can be read, ordered by name.
    std::vector<Backlight> scan() const;
    // The current level of one device, read again; absent when it is gone or unreadable.
    std::optional<double> readLevel(const Backlight& backlight) const;

private:
    std::filesystem::path root_;
};

// The device linked to a built-in connector when there is one, else the best by type (firmware, then
// platform, then raw) among those not linked to an external monitor's connector; absent when none fits.
std::optional<Backlight> chooseBacklight(const std::vector<Backlight>& backlights,
                                         const std::vector<DrmConnector>& connectors);

} // namespace brivio
