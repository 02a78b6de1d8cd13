#pragma once
// What a Wayland desktop offers the window server, per DRM connector: the compositor's output shown
// on it (its place, whether it is lit), its gamma ramps (wlr-gamma-control), and its modes and rotation
// (wlr-output-management, or GNOME's display configuration on the session bus). Outputs are tied to
// connectors by name. Everything missing answers with a reason in plain words.

#include "base/Signal.h"
#include "platform/WindowServer.h"
#include "platform/linux/MutterDisplayConfig.h"
#include "platform/linux/WaylandConnection.h"
#include "platform/linux/WaylandGamma.h"
#include "platform/linux/WlrOutputHeads.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace brivio {

// Whether the compositor's output `output` ("HDMI-A-1"; GNOME says "HDMI-1") shows the DRM connector
// `connector` ("card0-HDMI-A-1").
bool outputShowsConnector(std::string_view output, std::string_view connector);

// Clockwise degrees of the picture for a wl_output transform and back; a mirrored transform keeps its
// mirroring.
int degreesForTransform(std::int32_t transform);
std::int32_t transformForDegrees(int degrees, std::int32_t current = 0);

class WaylandSession {
public:
    // Null without a compositor to talk to. `sessionBus` (may be null) reaches GNOME's display
    // configuration where the compositor has no output manager of its own.
    static std::unique_ptr<WaylandSession> open(MainLoop& loop, FdWatcher* events, SystemBus* sessionBus,
                                                const std::optional<std::string>& socket = std::nullopt);
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    WaylandConnection& connection() { return *connection_; }

    // The output shown on `connector`; null when none is (or two claim it).
    const WaylandOutput* output(std::string_view connector) const;
    // True once any connector of `connectors` has an output: the compositor names its outputs after
    // them, so a connector without one is not drawn on (compositors take an output they switch off
    // away from their clients).
    bool namesConnectors(const std::vector<std::string>& connectors) const;

    std::optional<std::string> overlayUnavailable(std::string_view connector) const;
    std::optional<std::string> gammaUnavailable(std::string_view connector);
    std::optional<std::string> modesUnavailable(std::string_view connector) const;
    // Why this desktop offers no display configuration at all; absent when it has one.
    std::optional<std::string> configurationUnavailable() const;

    bool readGamma(std::string_view connector, GammaTables& tables);
    bool writeGamma(std::string_view connector, const GammaTables& tables);
    void releaseGamma();

    // Absent where modes cannot be had (see `modesUnavailable`).
    std::optional<std::vector<PlatformMode>> modes(std::string_view connector);
    std::optional<PlatformMode> currentMode(std::string_view connector);
    // Each connector to the mode of that handle, in one configuration where the desktop allows it.
    bool applyModes(const std::vector<std::pair<std::string, std::uint64_t>>& changes);
    int rotation(std::string_view connector) const;
    bool setRotation(std::string_view connector, int degrees);

    // Outputs appeared, went or changed (once per burst, on the loop).
    Signal<>& changed() { return changed_; }

private:
    WaylandSession(std::unique_ptr<WaylandConnection> connection, SystemBus* sessionBus);
    std::string outputName(std::string_view connector) const;
    const MutterDisplayConfig::Monitor* mutterMonitor(std::string_view connector) const;
    std::uint64_t mutterHandle(const std::string& connector, const std::string& mode, double scale);

    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<WaylandGamma> gamma_;
    std::unique_ptr<WlrOutputHeads> heads_;
    std::unique_ptr<MutterDisplayConfig> mutter_;
    // GNOME's modes by (monitor, mode id, scale), under handles that are never reused.
    std::map<std::tuple<std::string, std::string, double>, std::uint64_t> mutterHandles_;
    Signal<> changed_;
    Signal<>::Subscription outputsChanged_;
    Signal<>::Subscription mutterChanged_;
};

} // namespace brivio
