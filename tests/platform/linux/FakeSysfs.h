#pragma once
// A sysfs tree in a temporary folder, laid out as the kernel does: devices under devices/, links to
// them under class/drm and class/backlight.

#include "support/TestSupport.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brivio::testing {

struct FakeConnector {
    std::string name; // "card0-eDP-1"
    std::string status = "connected";
    std::string enabled = "enabled";
    std::vector<std::uint8_t> edid;
    std::optional<int> ddcBus; // a `ddc` link to this adapter
    std::optional<int> auxBus; // an adapter folder inside the connector
};

class FakeSysfs {
public:
    FakeSysfs();
    std::filesystem::path root() const { return dir_.path(); }

    // Writes (or rewrites) the connector's folder and its class link.
    std::filesystem::path add(const FakeConnector& connector);
    void remove(const std::string& connectorName);
    // An I2C adapter of the graphics card that no connector links to.
    void addCardAdapter(int bus);
    // A backlight device; with `connector` it sits below that connector and links to it.
    std::filesystem::path addBacklight(const std::string& name, const std::string& type, int brightness,
                                       int maxBrightness, const std::string& connector = {});

    static void write(const std::filesystem::path& file, const std::string& text);

private:
    std::filesystem::path cardDir(const std::string& connectorName) const;
    TempDir dir_;
};

} // namespace brivio::testing
