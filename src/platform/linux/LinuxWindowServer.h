#pragma once
// The window server's display services from the DRM connectors: which monitors are connected and
// lit, who they are. On a Wayland desktop the compositor's outputs, tied to the connectors by name,
// give positions, gamma, modes and rotation; on X11 the RandR outputs tied to them by EDID do. Without
// either the layout is left to right at each monitor's preferred size and gamma, modes and rotation
// answer with `resultNotImplemented`.

#include "base/MainLoop.h"
#include "base/WeakPtr.h"
#include "platform/WindowServer.h"
#include "platform/linux/GammaBaselines.h"
#include "platform/linux/LinuxDisplays.h"
#include "platform/linux/RandrScreen.h"
#include "platform/linux/WaylandSession.h"

#include <map>

namespace brivio {

inline constexpr int resultFailure = 1000;
inline constexpr int resultIllegalArgument = 1001;
inline constexpr int resultNotImplemented = 1006;
// The size a display without a readable preferred timing is laid out at.
inline constexpr double fallbackDisplayWidth = 1920;
inline constexpr double fallbackDisplayHeight = 1080;

class LinuxWindowServer : public WindowServer {
public:
    // `randr` may be null. `gammaFile` keeps the original ramps while they are changed (empty: in
    // memory only). `loop` defers the handling of events that arrive with replies; without it they
    // wait for the next event. `wayland`, when given, serves in RandR's place.
    explicit LinuxWindowServer(LinuxDisplays& displays, RandrScreen* randr = nullptr,
                               std::filesystem::path gammaFile = {}, MainLoop* loop = nullptr,
                               WaylandSession* wayland = nullptr);
    ~LinuxWindowServer() override;
    LinuxWindowServer(const LinuxWindowServer&) = delete;
    LinuxWindowServer& operator=(const LinuxWindowServer&) = delete;

    // An enumeration starts here: the connectors are scanned again (unless a hot-plug event has just
    // done so), so the list is current even without hot-plug events. The other queries read that scan.
    std::optional<std::vector<DisplayNumber>> activeDisplays() override;
    std::optional<std::vector<DisplayNumber>> onlineDisplays() override;
    // The active displays of the last scan, without scanning.
    std::vector<DisplayNumber> currentActiveDisplays() const;

    std::uint32_t vendorNumber(DisplayNumber display) override;
    std::uint32_t modelNumber(DisplayNumber display) override;
    std::uint32_t serialNumber(DisplayNumber display) override;
    std::uint32_t unitNumber(DisplayNumber display) override;
    bool isBuiltin(DisplayNumber display) override;
    Rect bounds(DisplayNumber display) override;
    double rotation(DisplayNumber display) override;

    int registerReconfigurationCallback(ReconfigurationCallback callback) override;
    void unregisterReconfigurationCallback(int id) override;

    void restoreColorSyncSettings() override;
    int getTransferTables(DisplayNumber display, GammaTables& tables) override;
    int setTransferTables(DisplayNumber display, const GammaTables& tables) override;

    std::optional<std::vector<PlatformMode>> allDisplayModes(DisplayNumber display) override;
    std::optional<PlatformMode> currentDisplayMode(DisplayNumber display) override;
    std::unique_ptr<DisplayConfiguration> beginConfiguration(int& result) override;
    std::optional<std::string> gammaUnavailable(DisplayNumber display) override;
    std::optional<std::string> modesUnavailable(DisplayNumber display) override;

    // The RandR output shown on a display; null without RandR or without a tie.
    const RandrOutput* outputOf(DisplayNumber display) const;
    // Turns a display (degrees clockwise); 0 on success. The rotation service's window-server entry.
    int setDisplayRotation(DisplayNumber display, int angle);
    // Reads the X connection's events (its fd became readable): new outputs' gamma is noted, the
    // connectors are scanned again, moved or re-moded displays are reported and `screenChanged` fires.
    void handleRandrEvents();
    Signal<>& screenChanged() { return screenChanged_; }

private:
    class Configuration;
    class WaylandConfiguration;
    // The connector's name ("card0-HDMI-A-1"); empty for an unknown display.
    std::string connectorOf(DisplayNumber display) const;
    bool drawnOnWayland(const LinuxDisplay& display) const;
    void handleWaylandChange();
    const Edid* edidOf(DisplayNumber display) const;
    void noteBaselines();
    void afterRequest();
    void dispatch(DisplayNumber display, std::uint32_t flags);

    LinuxDisplays& displays_;
    std::map<int, ReconfigurationCallback> callbacks_;
    int nextCallbackId_ = 1;
    Signal<DisplayNumber, std::uint32_t>::Subscription subscription_;
    RandrScreen* randr_;
    WaylandSession* wayland_;
    Signal<>::Subscription waylandChanged_;
    std::map<DisplayNumber, std::tuple<bool, Rect, int>> waylandSeen_; // drawn on, bounds, rotation
    GammaBaselines baselines_;
    MainLoop* loop_;
    bool gammaChanged_ = false;
    bool eventsPosted_ = false;
    Signal<> screenChanged_;
    WeakPtrFactory<LinuxWindowServer> weak{this};
};

} // namespace brivio
