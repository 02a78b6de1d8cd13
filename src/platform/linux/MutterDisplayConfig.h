#pragma once
// GNOME's display configuration on the session bus (org.gnome.Mutter.DisplayConfig): each monitor's
// modes and the scales each mode allows, the current mode, scale and rotation, and changes applied as
// one configuration. GNOME's compositor offers modes and rotation to other programs only this way.

#include "base/Signal.h"
#include "platform/linux/SystemBus.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brivio {

class MutterDisplayConfig {
public:
    struct Mode {
        std::string id; // "1920x1080@60.000"
        std::int32_t width = 0, height = 0;
        double refreshRate = 0;
        std::vector<double> scales;
        bool current = false;
    };
    struct Monitor {
        std::string connector; // "HDMI-1", "Meta-0"
        std::vector<Mode> modes;
        bool active = false; // part of a logical monitor
        std::int32_t x = 0, y = 0;
        double scale = 1;
        std::uint32_t transform = 0; // wl_output.transform
    };
    struct Change {
        std::optional<std::string> mode; // a mode id of the monitor
        std::optional<double> scale;
        std::optional<std::uint32_t> transform;
    };

    // Null when nobody answers for the display configuration on `session` (not GNOME, or no bus).
    static std::unique_ptr<MutterDisplayConfig> open(SystemBus& session);
    ~MutterDisplayConfig();
    MutterDisplayConfig(const MutterDisplayConfig&) = delete;
    MutterDisplayConfig& operator=(const MutterDisplayConfig&) = delete;

    const std::vector<Monitor>& monitors() const { return monitors_; }
    const Monitor* monitor(std::string_view connector) const;
    // Reads the state again; false when the call fails.
    bool reload();
    // The monitor's logical monitor changed as asked, the others as they are (re-laid side by side
    // when a size changed). Not saved: the desktop's own settings keep what should outlast the session.
    bool apply(const std::string& connector, const Change& change);
    // After the desktop reports its monitors changed (a signal delivered through the loop).
    Signal<>& changed() { return changed_; }

private:
    struct Bus;
    struct Logical;
    explicit MutterDisplayConfig(std::unique_ptr<Bus> bus);

    std::unique_ptr<Bus> bus_;
    std::uint32_t serial_ = 0;
    std::vector<Monitor> monitors_;
    std::vector<Logical> logical_;
    Signal<> changed_;
};

} // namespace brivio
