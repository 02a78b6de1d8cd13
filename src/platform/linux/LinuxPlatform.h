#pragma once
// The whole platform on a Linux desktop, assembled from its pieces: displays and registry from the DRM
// connectors (re-read on udev hot-plug events), DDC/CI over the monitors' I2C buses, the panel's
// backlight, the wall clock, the X server's RandR for positions, gamma, modes and rotation, and the
// brightness indicator as a desktop notification, the location from GeoClue2. What is not reached
// (overlay windows, or any of these when its service is missing) answers with failure or absence, so that the
// software paths and fallbacks take over.

#include "base/FdWatcher.h"
#include "platform/Platform.h"
#include "platform/linux/BacklightControl.h"
#include "platform/linux/DisplayBuses.h"
#include "platform/linux/DrmHotplug.h"
#include "platform/linux/GeoClueLocation.h"
#include "platform/linux/LinuxDisplays.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/LinuxWallClock.h"
#include "platform/linux/LinuxWindowServer.h"
#include "platform/linux/NotificationIndicator.h"
#include "platform/linux/RandrScreen.h"
#include "platform/linux/SystemBus.h"

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
};

// Screens from the active displays; no overlay windows can be made yet.
class LinuxWindowSystem final : public WindowSystem {
public:
    explicit LinuxWindowSystem(LinuxWindowServer& server, LinuxDisplays& displays);
    std::vector<Screen> screens() override;
    std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber, const Rect&) override {
        return nullptr;
    }
    Signal<>& screenParametersChanged() override { return screenParametersChanged_; }

private:
    LinuxWindowServer& server_;
    LinuxDisplays& displays_;
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
    RandrScreen* randr() { return randr_.get(); }

    static PlatformServiceClasses serviceClasses();

private:
    LinuxPlatformOptions options_;
    FdWatcher* events_;
    SystemBus bus_;
    SystemBus sessionBus_;
    LinuxDisplays displays_;
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
