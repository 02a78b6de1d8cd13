#pragma once
// The whole platform on a Linux desktop, assembled from its pieces: displays and registry from the DRM
// connectors, DDC/CI over the monitors' I2C buses, the panel's backlight, the wall clock. What is not
// reached yet on Linux (overlay windows, gamma, modes, location, the indicator) answers with failure
// or absence, so that the software paths and fallbacks take over.

#include "base/FdWatcher.h"
#include "platform/Platform.h"
#include "platform/linux/BacklightControl.h"
#include "platform/linux/DisplayBuses.h"
#include "platform/linux/LinuxDisplays.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/LinuxWallClock.h"
#include "platform/linux/LinuxWindowServer.h"
#include "platform/linux/SystemBus.h"

#include <filesystem>
#include <optional>
#include <string>

namespace brivio {

struct LinuxPlatformOptions {
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path devDir = "/dev";
    std::filesystem::path etcDir = "/etc";
    // Absent: the system bus. Set to reach a private bus instead.
    std::optional<std::string> systemBusAddress;
    bool useSystemBus = true;
    I2cSyscalls syscalls = I2cSyscalls::system();
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
    // `events` delivers clock, time-zone and sleep notifications; without it (a virtual loop in tests)
    // there are none.
    LinuxPlatform(MainLoop& loop, FdWatcher* events, LinuxPlatformOptions options = {});
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    // Valid while this object lives.
    Platform& platform() { return platform_; }

    LinuxDisplays& displays() { return displays_; }
    DisplayBuses& buses() { return buses_; }
    BacklightControl& backlight() { return backlight_; }

    static PlatformServiceClasses serviceClasses();

private:
    LinuxPlatformOptions options_;
    SystemBus bus_;
    LinuxDisplays displays_;
    LinuxWindowServer windowServer_;
    DisplayBuses buses_;
    LinuxRegistry registry_;
    BacklightControl backlight_;
    LinuxWallClock clock_;
    LinuxWindowSystem windowSystem_;
    AbsentLocation location_;
    Platform platform_;
};

} // namespace brivio
