#include "platform/linux/LinuxPlatform.h"

#include "base/Log.h"
#include "platform/linux/LinuxI2cChannel.h"

namespace brivio {

LinuxWindowSystem::LinuxWindowSystem(LinuxWindowServer& server, LinuxDisplays& displays)
    : server_(server), displays_(displays) {}

std::vector<Screen> LinuxWindowSystem::screens() {
    std::vector<Screen> out;
    for (DisplayNumber n : server_.activeDisplays().value_or(std::vector<DisplayNumber>{})) {
        Screen s;
        s.number = n;
        s.frame = server_.bounds(n);
        if (auto d = displays_.find(n); d && d->connector.edid && d->connector.edid->name)
            s.localizedName = *d->connector.edid->name;
        if (auto d = displays_.find(n); d && d->connector.edid && d->connector.edid->preferredMode)
            s.maximumFramesPerSecond =
                std::max(1, static_cast<int>(d->connector.edid->preferredMode->refreshRate + 0.5));
        out.push_back(std::move(s));
    }
    return out;
}

void AbsentLocation::requestLocation() {
    loop_.post([this] { locationFailed_.emit(); });
}

void AbsentLocation::openPrivacySettings() {
    logInfo(LogCategory::AppDelegate, "Location: no location service here; set the position with "
                                      "'brivioctl location set LATITUDE LONGITUDE'");
}

PlatformServiceClasses LinuxPlatform::serviceClasses() {
    return {{drmConnectorClass}, {drmConnectorClass}, {}, drmConnectorClass};
}

LinuxPlatform::LinuxPlatform(MainLoop& loop, FdWatcher* events, LinuxPlatformOptions options)
    : options_(std::move(options)), bus_(options_.systemBusAddress),
      displays_(DrmConnectorScanner(options_.sysfsRoot)), windowServer_(displays_),
      buses_(options_.sysfsRoot, options_.syscalls, options_.devDir), registry_(displays_, &buses_),
      backlight_(displays_, BacklightScanner(options_.sysfsRoot),
                 options_.useSystemBus ? logindSessionBrightness(bus_) : SessionBrightness{}),
      clock_(events, options_.useSystemBus ? &bus_ : nullptr, options_.etcDir),
      windowSystem_(windowServer_, displays_),
      location_(loop), platform_{loop,
                                 windowServer_,
                                 registry_,
                                 windowSystem_,
                                 clock_,
                                 location_,
                                 linuxAVServiceSymbols(displays_, buses_),
                                 backlight_.symbols(),
                                 nullptr,
                                 serviceClasses()} {}

} // namespace brivio
