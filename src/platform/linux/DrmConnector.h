#pragma once
// The kernel's display connectors as sysfs shows them (/sys/class/drm/card<N>-<type>-<index>): whether
// a monitor is there, its EDID, and the I2C bus of its DDC channel. Only reads; the root is injectable.

#include "platform/linux/Edid.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brivio {

struct DrmConnector {
    std::string name; // "card0-eDP-1"
    int card = 0;
    std::string type; // "eDP", "HDMI-A", "DP", ...
    int index = 0;    // the number after the type
    bool builtIn = false;
    bool connected = false;
    bool enabled = false;
    std::vector<std::uint8_t> edidBytes;
    std::optional<Edid> edid; // absent when there are no bytes or they are no EDID
    // The DDC adapter: the `ddc` link, or else an adapter the driver made inside the connector's folder
    // (a DisplayPort AUX channel), which only an EDID check ties to the monitor.
    std::optional<int> i2cBus;
    bool ddcLinked = false;     // `i2cBus` comes from the `ddc` link
    std::filesystem::path path; // the connector's folder, links resolved
    bool operator==(const DrmConnector&) const = default;
};

struct ConnectorName {
    int card = 0;
    std::string type;
    int index = 0;
};

// Splits "card1-HDMI-A-2" into card 1, type "HDMI-A", index 2; absent for anything else ("card1",
// "renderD128", "version").
std::optional<ConnectorName> parseConnectorName(std::string_view name);

// Panels wired into the machine rather than plugged in.
bool isBuiltInConnectorType(std::string_view type);

class DrmConnectorScanner {
public:
    explicit DrmConnectorScanner(std::filesystem::path sysfsRoot = "/sys");

    // Every connector, built-in ones first, then by card, type and index; empty without DRM.
    std::vector<DrmConnector> scan() const;

    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

} // namespace brivio
