#include "platform/linux/LinuxPlatform.h"

#include "base/Log.h"
#include "platform/linux/LinuxI2cChannel.h"

#include <sys/epoll.h>

namespace brivio {

LinuxWindowSystem::LinuxWindowSystem(LinuxWindowServer& server, LinuxDisplays& displays,
                                     WaylandSession* wayland, bool makeOverlays)
    : server_(server), displays_(displays), wayland_(wayland), makeOverlays_(makeOverlays) {
    serverChanged_ = server_.screenChanged().subscribe([this] { screenParametersChanged_.emit(); });
    if (wayland_ && makeOverlays_)
        buffers_ = std::make_unique<DimBuffers>(wayland_->connection());
}

LinuxWindowSystem::~LinuxWindowSystem() = default;

std::optional<std::string> LinuxWindowSystem::overlayUnavailable(DisplayNumber display) {
    const LinuxDisplay* d = displays_.find(display);
    if (!wayland_ || !d)
        return std::nullopt;
    return wayland_->overlayUnavailable(d->connector.name);
}

std::unique_ptr<OverlayWindow> LinuxWindowSystem::createOverlayWindow(DisplayNumber display, const Rect&) {
    const LinuxDisplay* d = displays_.find(display);
    if (!buffers_ || !d || overlayUnavailable(display))
        return nullptr;
    const WaylandOutput* output = wayland_->output(d->connector.name);
    return std::make_unique<LayerShellOverlay>(wayland_->connection(), *buffers_, output->name);
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

std::unique_ptr<WaylandSession> openWayland(MainLoop& loop, FdWatcher* events, SystemBus& session,
                                            const LinuxPlatformOptions& options) {
    if (!options.useWayland)
        return nullptr;
    return WaylandSession::open(loop, events, options.useSessionBus ? &session : nullptr,
                                options.waylandDisplay);
}

// On a Wayland desktop the X server (Xwayland) only imitates the outputs: the compositor speaks for them.
std::unique_ptr<RandrScreen> openRandr(const LinuxPlatformOptions& options, bool wayland) {
    return options.useX11 && !wayland ? RandrScreen::open(options.x11Display) : nullptr;
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
      displays_(DrmConnectorScanner(options_.sysfsRoot)),
      wayland_(openWayland(loop, events, sessionBus_, options_)),
      randr_(openRandr(options_, wayland_ != nullptr)),
      windowServer_(displays_, randr_.get(), randr_ ? gammaFile(options_) : std::filesystem::path{}, &loop,
                    wayland_.get()),
      buses_(options_.sysfsRoot, options_.syscalls, options_.devDir), registry_(displays_, &buses_),
      backlight_(displays_, BacklightScanner(options_.sysfsRoot),
                 options_.useSystemBus ? logindSessionBrightness(bus_) : SessionBrightness{}),
      clock_(events, options_.useSystemBus ? &bus_ : nullptr, options_.etcDir),
      windowSystem_(windowServer_, displays_, wayland_.get(), options_.overlayWindows),
      location_(makeLocation(loop, bus_, options_.useSystemBus)),
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
    if (randr_ || wayland_)
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

std::vector<std::string> LinuxPlatform::limits() {
    std::vector<std::string> lines;
    if (wayland_) {
        const auto& g = wayland_->connection().globals();
        if (!g.layerShell)
            lines.push_back(
                "overlay dimming: this Wayland desktop lets no app lay a see-through layer over a "
                "display (no wlr-layer-shell)");
        if (!g.gammaManager)
            lines.push_back(
                "gamma dimming: this Wayland desktop gives apps no control of the gamma ramps (no "
                "wlr-gamma-control)");
        if (auto why = wayland_->configurationUnavailable())
            lines.push_back("modes and rotation: " + *why);
    } else if (!randr_) {
        lines.push_back("gamma dimming, modes and rotation: no Wayland compositor or X server with RandR "
                        "answers");
    }
    return lines;
}

LinuxPlatform::~LinuxPlatform() {
    if (watchingX_)
        events_->unwatchFd(randr_->fd());
}

} // namespace brivio
