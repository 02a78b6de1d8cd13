#pragma once
// The whole platform on a Linux desktop, assembled from its pieces: displays and registry from the DRM
// connectors (re-read on udev hot-plug events), DDC/CI over the monitors' I2C buses, the panel's
// backlight, the wall clock, the Wayland compositor (or on X11 the X server's RandR) for positions,
// gamma, modes and rotation, dimming layers on Wayland, the brightness indicator as a desktop notification,
// the location from GeoClue2. What is not reached answers with failure or absence (and a reason), so that the
// software paths and fallbacks take over.

#include "base/FdWatcher.h"
#include "platform/Platform.h"
#include "platform/linux/BacklightControl.h"
#include "platform/linux/DisplayBuses.h"
#include "platform/linux/DrmHotplug.h"
#include "platform/linux/GeoClueLocation.h"
#include "platform/linux/LayerShellOverlay.h"
#include "platform/linux/LinuxDisplays.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/LinuxWallClock.h"
#include "platform/linux/LinuxWindowServer.h"
#include "platform/linux/NotificationIndicator.h"
#include "platform/linux/RandrScreen.h"
#include "platform/linux/SystemBus.h"
#include "platform/linux/WaylandSession.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace brivio {

struct LinuxPlatformOptions {
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path devDir = "/dev";
    std::filesystem::path etcDir = "/etc";
    // Absent: the system bus (logind, GeoClue2). Set to reach a private bus instead; off: no bus, and
    // no location service.
    std::optional<std::string> systemBusAddress;
    bool useSystemBus = true;
    I2cSyscalls syscalls = I2cSyscalls::system();
    // The X server (absent: $DISPLAY); off: no RandR, as without an X server.
    bool useX11 = true;
    std::optional<std::string> x11Display;
    // Where the original gamma ramps are kept while changed; absent: the user's state folder.
    std::optional<std::filesystem::path> stateDir;
    // The session bus for the indicator (absent address: the user's); off: no indicator.
    bool useSessionBus = true;
    std::optional<std::string> sessionBusAddress;
    // Hot-plug events; used only with an fd watcher.
    std::function<std::unique_ptr<UeventSource>()> uevents = openDrmUeventMonitor;
    // The Wayland compositor (absent: $WAYLAND_DISPLAY); off: none, as on X11. A compositor that
    // answers takes RandR's place.
    bool useWayland = true;
    std::optional<std::string> waylandDisplay;
    // Dimming layers on Wayland are made only for a process that stays (the agent): they vanish with
    // the process that made them.
    bool overlayWindows = false;
};

// Screens from the active displays. On Wayland, dimming layers over the compositor's outputs (when
// asked for and the compositor has a layer shell); elsewhere no overlay windows are made here.
class LinuxWindowSystem final : public WindowSystem {
public:
    LinuxWindowSystem(LinuxWindowServer& server, LinuxDisplays& displays, WaylandSession* wayland = nullptr,
                      bool makeOverlays = false);
    ~LinuxWindowSystem() override;
    std::vector<Screen> screens() override;
    std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber display, const Rect& frame) override;
    Signal<>& screenParametersChanged() override { return screenParametersChanged_; }
    // On Wayland, why the compositor cannot dim the display with a layer; elsewhere absent (another
    // window system, the agent's, decides).
    std::optional<std::string> overlayUnavailable(DisplayNumber display) override;
    // True on a Wayland desktop: overlays are this window system's to make, or nobody's.
    bool drawsOverlays() const { return wayland_ != nullptr; }

private:
    LinuxWindowServer& server_;
    LinuxDisplays& displays_;
    WaylandSession* wayland_;
    bool makeOverlays_;
    std::unique_ptr<DimBuffers> buffers_;
    Signal<> screenParametersChanged_;
    Signal<>::Subscription serverChanged_;
};

// No location service: every request fails, so the manual position is used.
class AbsentLocation final : public LocationService {
public:
    explicit AbsentLocation(MainLoop& loop) : loop_(loop) {}
    int authorizationStatus() override { return LocationAuthorization::restricted; }
    void requestWhenInUseAuthorization() override {}
    void requestLocation() override;
    void openPrivacySettings() override;

private:
    MainLoop& loop_;
};

class LinuxPlatform {
public:
    // `events` delivers clock, time-zone, sleep, hot-plug, X11 and D-Bus notifications; without it (a
    // virtual loop in tests) there are none.
    LinuxPlatform(MainLoop& loop, FdWatcher* events, LinuxPlatformOptions options = {});
    ~LinuxPlatform();
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    // Valid while this object lives.
    Platform& platform() { return platform_; }

    LinuxDisplays& displays() { return displays_; }
    DisplayBuses& buses() { return buses_; }
    BacklightControl& backlight() { return backlight_; }
    LinuxWindowServer& windowServer() { return windowServer_; }
    LinuxWindowSystem& windowSystem() { return windowSystem_; }
    RandrScreen* randr() { return randr_.get(); }
    // The user's session bus (notifications, the desktop portal, GNOME's display configuration).
    SystemBus& sessionBus() { return sessionBus_; }
    // The Wayland compositor this process talks to; null off Wayland.
    WaylandSession* wayland() { return wayland_.get(); }
    // What this desktop cannot do, one plain line each (said at start and by `doctor`).
    std::vector<std::string> limits();

    static PlatformServiceClasses serviceClasses();

private:
    LinuxPlatformOptions options_;
    FdWatcher* events_;
    SystemBus bus_;
    SystemBus sessionBus_;
    LinuxDisplays displays_;
    std::unique_ptr<WaylandSession> wayland_;
    std::unique_ptr<RandrScreen> randr_;
    LinuxWindowServer windowServer_;
    DisplayBuses buses_;
    LinuxRegistry registry_;
    BacklightControl backlight_;
    LinuxWallClock clock_;
    LinuxWindowSystem windowSystem_;
    std::unique_ptr<LocationService> location_;
    NotificationIndicator indicator_;
    std::unique_ptr<DrmHotplug> hotplug_;
    bool watchingX_ = false;
    Platform platform_;
};

} // namespace brivio
