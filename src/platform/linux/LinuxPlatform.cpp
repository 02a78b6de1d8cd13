#include "platform/linux/LinuxPlatform.h"

#include "base/Log.h"
#include "platform/linux/LinuxI2cChannel.h"

#include <sys/epoll.h>

namespace brivio {

LinuxWindowSystem::LinuxWindowSystem(LinuxWindowServer& server, LinuxDisplays& displays)
    : server_(server), displays_(displays) {
    serverChanged_ = server_.screenChanged().subscribe([this] { screenParametersChanged_.emit(); });
}

std::vector<Screen> LinuxWindowSystem::screens() {
    std::vector<Screen> out;
    // Asked for every display's name and frame rate: the last scan, not a new one each time.
    for (DisplayNumber n : server_.currentActiveDisplays()) {
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

namespace {

std::unique_ptr<RandrScreen> openRandr(const LinuxPlatformOptions& options) {
    return options.useX11 ? RandrScreen::open(options.x11Display) : nullptr;
}

std::unique_ptr<LocationService> makeLocation(MainLoop& loop, SystemBus& bus, bool useBus) {
    if (useBus)
        return std::make_unique<GeoClueLocation>(loop, bus);
    return std::make_unique<AbsentLocation>(loop);
}

std::filesystem::path gammaFile(const LinuxPlatformOptions& options) {
    auto dir = options.stateDir ? options.stateDir : defaultStateDir();
    return dir ? *dir / "gamma.json" : std::filesystem::path{};
}

} // namespace

LinuxPlatform::LinuxPlatform(MainLoop& loop, FdWatcher* events, LinuxPlatformOptions options)
    : options_(std::move(options)), events_(events), bus_(options_.systemBusAddress),
      sessionBus_(options_.sessionBusAddress, BusKind::session),
      displays_(DrmConnectorScanner(options_.sysfsRoot)), randr_(openRandr(options_)),
      windowServer_(displays_, randr_.get(), randr_ ? gammaFile(options_) : std::filesystem::path{}, &loop),
      buses_(options_.sysfsRoot, options_.syscalls, options_.devDir), registry_(displays_, &buses_),
      backlight_(displays_, BacklightScanner(options_.sysfsRoot),
                 options_.useSystemBus ? logindSessionBrightness(bus_) : SessionBrightness{}),
      clock_(events, options_.useSystemBus ? &bus_ : nullptr, options_.etcDir),
      windowSystem_(windowServer_, displays_), location_(makeLocation(loop, bus_, options_.useSystemBus)),
      indicator_(sessionBus_), platform_{loop,
                                         windowServer_,
                                         registry_,
                                         windowSystem_,
                                         clock_,
                                         *location_,
                                         linuxAVServiceSymbols(displays_, buses_),
                                         backlight_.symbols(),
                                         nullptr,
                                         serviceClasses()} {
    if (randr_)
        platform_.rotation.process.setDisplayRotation = [this](std::uint32_t display, std::int32_t angle) {
            return windowServer_.setDisplayRotation(display, angle);
        };
    if (options_.useSessionBus)
        platform_.indicator = &indicator_;
    if (!events_)
        return;
    if (options_.uevents)
        hotplug_ =
            std::make_unique<DrmHotplug>(*events_, options_.uevents(), [this] { displays_.refresh(); });
    if (randr_)
        watchingX_ = events_->watchFd(randr_->fd(), EPOLLIN,
                                      [this](std::uint32_t) { windowServer_.handleRandrEvents(); });
    // Replies and signals (sleep, location, the indicator) come through the loop.
    if (options_.useSystemBus && bus_.connection())
        bus_.attach(*events_);
    if (options_.useSessionBus && sessionBus_.connection())
        sessionBus_.attach(*events_);
}

LinuxPlatform::~LinuxPlatform() {
    if (watchingX_)
        events_->unwatchFd(randr_->fd());
}

} // namespace brivio
