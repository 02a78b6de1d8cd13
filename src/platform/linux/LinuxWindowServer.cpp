#include "platform/linux/LinuxWindowServer.h"

#include "base/Log.h"

#include <algorithm>

namespace brivio {

namespace {

constexpr std::size_t edidCompared = 128;

bool sameEdid(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() < edidCompared || b.size() < edidCompared)
        return false;
    return std::equal(a.begin(), a.begin() + edidCompared, b.begin());
}

// The output's name and its monitor, so a baseline never goes to another monitor on that output.
std::string baselineKey(const RandrOutput& output) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < std::min(output.edid.size(), edidCompared); ++i)
        hash = (hash ^ output.edid[i]) * 16777619u;
    return fmt::format("{}:{:08x}", output.name, hash);
}

PlatformMode platformMode(const RandrMode& mode) {
    return {mode.id, mode.width, mode.height, mode.width, mode.height, mode.refreshRate, true};
}

} // namespace

// Changes gathered, then applied in one go; nothing reaches the server before completion.
class LinuxWindowServer::Configuration final : public DisplayConfiguration {
public:
    explicit Configuration(LinuxWindowServer& server) : server_(server.weak.weak()) {}
    int configureMode(DisplayNumber display, const PlatformMode& mode) override {
        const RandrOutput* output = server_ ? server_->outputOf(display) : nullptr;
        if (!output || !output->crtc ||
            std::none_of(output->modes.begin(), output->modes.end(),
                         [&](auto& m) { return m.id == mode.handle; }))
            return resultIllegalArgument;
        changes_.emplace_back(output->id, mode.handle);
        return 0;
    }
    int completePermanently() override {
        if (!server_)
            return resultFailure;
        bool ok = true;
        for (auto [outputId, mode] : changes_) {
            const RandrOutput* output = server_->randr_->output(outputId);
            ok = output && server_->randr_->configure(outputId, mode, output->rotation) && ok;
        }
        changes_.clear();
        server_->afterRequest();
        return ok ? 0 : resultFailure;
    }
    void cancel() override { changes_.clear(); }

private:
    WeakPtr<LinuxWindowServer> server_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> changes_;
};

// Changes gathered, then applied by the compositor in one configuration.
class LinuxWindowServer::WaylandConfiguration final : public DisplayConfiguration {
public:
    explicit WaylandConfiguration(LinuxWindowServer& server) : server_(server.weak.weak()) {}
    int configureMode(DisplayNumber display, const PlatformMode& mode) override {
        if (!server_)
            return resultFailure;
        std::string connector = server_->connectorOf(display);
        auto modes = server_->wayland_->modes(connector);
        if (connector.empty() || !modes ||
            std::none_of(modes->begin(), modes->end(), [&](auto& m) { return m.handle == mode.handle; }))
            return resultIllegalArgument;
        changes_.emplace_back(connector, mode.handle);
        return 0;
    }
    int completePermanently() override {
        if (!server_)
            return resultFailure;
        bool ok = server_->wayland_->applyModes(changes_);
        changes_.clear();
        return ok ? 0 : resultFailure;
    }
    void cancel() override { changes_.clear(); }

private:
    WeakPtr<LinuxWindowServer> server_;
    std::vector<std::pair<std::string, std::uint64_t>> changes_;
};

LinuxWindowServer::LinuxWindowServer(LinuxDisplays& displays, RandrScreen* randr,
                                     std::filesystem::path gammaFile, MainLoop* loop, WaylandSession* wayland)
    : displays_(displays), randr_(randr), wayland_(wayland), baselines_(std::move(gammaFile)), loop_(loop) {
    subscription_ = displays_.reconfigured().subscribe(
        [this](DisplayNumber display, std::uint32_t flags) { dispatch(display, flags); });
    if (wayland_) {
        waylandChanged_ = wayland_->changed().subscribe([this] { handleWaylandChange(); });
        handleWaylandChange();
    }
    // Ramps left by an earlier run mean a display may still be dimmed: they stay until put back.
    gammaChanged_ = !baselines_.empty();
    noteBaselines();
}

LinuxWindowServer::~LinuxWindowServer() {
    // Every output back at its baseline (or never changed): nothing for a later start to undo.
    if (!gammaChanged_)
        baselines_.clear();
}

void LinuxWindowServer::dispatch(DisplayNumber display, std::uint32_t flags) {
    // A callback may unregister itself (or others) while being called.
    auto callbacks = callbacks_;
    for (auto& [id, callback] : callbacks)
        if (callbacks_.count(id))
            callback(display, flags);
}

const RandrOutput* LinuxWindowServer::outputOf(DisplayNumber display) const {
    if (!randr_)
        return nullptr;
    const LinuxDisplay* d = displays_.find(display);
    if (!d || d->connector.edidBytes.size() < edidCompared)
        return nullptr;
    // Identical monitors (no serial) share an EDID: the k-th such display takes the k-th such output.
    std::size_t rank = 0;
    for (const auto& other : displays_.displays()) {
        if (&other == d)
            break;
        if (sameEdid(other.connector.edidBytes, d->connector.edidBytes))
            ++rank;
    }
    for (const auto& output : randr_->outputs())
        if (output.connected && sameEdid(output.edid, d->connector.edidBytes) && rank-- == 0)
            return &output;
    return nullptr;
}

void LinuxWindowServer::noteBaselines() {
    if (!randr_)
        return;
    for (const auto& output : randr_->outputs())
        if (output.crtc)
            if (auto ramp = randr_->gamma(output.crtc))
                baselines_.remember(baselineKey(output), *ramp);
}

void LinuxWindowServer::afterRequest() {
    // Replies to our own requests can carry events that Xlib queues without the fd turning readable.
    if (!loop_ || eventsPosted_)
        return;
    eventsPosted_ = true;
    loop_->post([self = weak.weak()] {
        if (!self)
            return;
        self->eventsPosted_ = false;
        self->handleRandrEvents();
    });
}

void LinuxWindowServer::handleRandrEvents() {
    if (!randr_)
        return;
    std::map<DisplayNumber, std::tuple<Rect, std::uint64_t, int>> before;
    for (const auto& d : displays_.displays())
        if (auto o = outputOf(d.number))
            before[d.number] = {o->bounds, o->mode, o->rotation};
    if (!randr_->takeEvents())
        return;
    noteBaselines();
    displays_.refresh(); // reports displays added, removed, lit or darkened
    for (const auto& d : displays_.displays()) {
        auto o = outputOf(d.number);
        auto it = before.find(d.number);
        if (!o || it == before.end())
            continue;
        auto [bounds, mode, rotation] = it->second;
        std::uint32_t flags =
            (bounds.x != o->bounds.x || bounds.y != o->bounds.y ? ReconfigurationFlags::moved : 0) |
            (mode != o->mode || rotation != o->rotation || bounds.width != o->bounds.width ||
                     bounds.height != o->bounds.height
                 ? ReconfigurationFlags::setMode
                 : 0);
        if (flags)
            dispatch(d.number, flags);
    }
    screenChanged_.emit();
}

std::string LinuxWindowServer::connectorOf(DisplayNumber display) const {
    const LinuxDisplay* d = displays_.find(display);
    return d ? d->connector.name : std::string{};
}

bool LinuxWindowServer::drawnOnWayland(const LinuxDisplay& d) const {
    // Once the compositor is seen to name its outputs after the connectors, a connector without an
    // output is not drawn on (compositors withdraw the outputs they switch off), whatever the kernel says.
    std::vector<std::string> names;
    for (const auto& other : displays_.displays())
        names.push_back(other.connector.name);
    if (!wayland_->namesConnectors(names))
        return d.active();
    return d.active() && wayland_->output(d.connector.name);
}

void LinuxWindowServer::handleWaylandChange() {
    displays_.refresh(); // reports displays added, removed, lit or darkened by the kernel
    for (const auto& d : displays_.displays()) {
        bool drawn = drawnOnWayland(d);
        Rect where = bounds(d.number);
        int turned = static_cast<int>(rotation(d.number));
        auto it = waylandSeen_.find(d.number);
        std::uint32_t flags = 0;
        // A display seen for the first time was reported by the connectors already.
        if (it != waylandSeen_.end()) {
            auto [wasDrawn, wasWhere, wasTurned] = it->second;
            if (drawn != wasDrawn)
                flags |= drawn ? ReconfigurationFlags::enabled : ReconfigurationFlags::disabled;
            else if (drawn && (where.x != wasWhere.x || where.y != wasWhere.y))
                flags |= ReconfigurationFlags::moved;
            if (drawn && wasDrawn &&
                (where.width != wasWhere.width || where.height != wasWhere.height || turned != wasTurned))
                flags |= ReconfigurationFlags::setMode;
        }
        waylandSeen_[d.number] = {drawn, where, turned};
        if (flags)
            dispatch(d.number, flags);
    }
    std::erase_if(waylandSeen_, [this](auto& entry) { return !displays_.find(entry.first); });
    screenChanged_.emit();
}

std::optional<std::vector<DisplayNumber>> LinuxWindowServer::activeDisplays() {
    displays_.refreshForEnumeration();
    return currentActiveDisplays();
}

std::vector<DisplayNumber> LinuxWindowServer::currentActiveDisplays() const {
    std::vector<DisplayNumber> numbers;
    for (const auto& d : displays_.displays()) {
        if (numbers.size() >= maxDisplays)
            break;
        if (wayland_) {
            if (drawnOnWayland(d))
                numbers.push_back(d.number);
            continue;
        }
        // An output the X server keeps dark is not drawn on, whatever the kernel says.
        const RandrOutput* output = outputOf(d.number);
        if (d.active() && (!output || output->crtc))
            numbers.push_back(d.number);
    }
    return numbers;
}

std::optional<std::vector<DisplayNumber>> LinuxWindowServer::onlineDisplays() {
    std::vector<DisplayNumber> numbers;
    for (const auto& d : displays_.displays())
        if (numbers.size() < maxDisplays)
            numbers.push_back(d.number);
    return numbers;
}

const Edid* LinuxWindowServer::edidOf(DisplayNumber display) const {
    auto d = displays_.find(display);
    return d && d->connector.edid ? &*d->connector.edid : nullptr;
}

std::uint32_t LinuxWindowServer::vendorNumber(DisplayNumber display) {
    auto edid = edidOf(display);
    return edid ? edid->vendorId : 0;
}

std::uint32_t LinuxWindowServer::modelNumber(DisplayNumber display) {
    auto edid = edidOf(display);
    return edid ? edid->productId : 0;
}

std::uint32_t LinuxWindowServer::serialNumber(DisplayNumber display) {
    auto d = displays_.find(display);
    return d ? d->serial : 0;
}

std::uint32_t LinuxWindowServer::unitNumber(DisplayNumber display) {
    auto d = displays_.find(display);
    return d ? d->unit : 0;
}

bool LinuxWindowServer::isBuiltin(DisplayNumber display) {
    auto d = displays_.find(display);
    return d && d->connector.builtIn;
}

Rect LinuxWindowServer::bounds(DisplayNumber display) {
    if (wayland_)
        if (const WaylandOutput* output = wayland_->output(connectorOf(display)))
            return output->bounds;
    if (const RandrOutput* output = outputOf(display))
        return output->crtc ? output->bounds : Rect{};
    double x = 0;
    for (const auto& d : displays_.displays()) {
        if (!d.active())
            continue;
        const auto& edid = d.connector.edid;
        bool known = edid && edid->preferredMode;
        double width = known ? edid->preferredMode->width : fallbackDisplayWidth;
        double height = known ? edid->preferredMode->height : fallbackDisplayHeight;
        if (d.number == display)
            return {x, 0, width, height};
        x += width;
    }
    return {};
}

double LinuxWindowServer::rotation(DisplayNumber display) {
    if (wayland_)
        return wayland_->rotation(connectorOf(display));
    const RandrOutput* output = outputOf(display);
    return output ? output->rotation : 0;
}

int LinuxWindowServer::setDisplayRotation(DisplayNumber display, int angle) {
    if (wayland_) {
        std::string connector = connectorOf(display);
        if (wayland_->modesUnavailable(connector))
            return resultNotImplemented;
        return wayland_->setRotation(connector, angle) ? 0 : resultFailure;
    }
    const RandrOutput* output = outputOf(display);
    if (!output || !output->crtc)
        return resultNotImplemented;
    bool ok = randr_->configure(output->id, output->mode, angle);
    afterRequest();
    return ok ? 0 : resultFailure;
}

int LinuxWindowServer::registerReconfigurationCallback(ReconfigurationCallback callback) {
    int id = nextCallbackId_++;
    callbacks_.emplace(id, std::move(callback));
    return id;
}

void LinuxWindowServer::unregisterReconfigurationCallback(int id) {
    callbacks_.erase(id);
}

void LinuxWindowServer::restoreColorSyncSettings() {
    if (wayland_) {
        // The compositor puts every output's own ramps back as each control goes.
        wayland_->releaseGamma();
        return;
    }
    if (!randr_)
        return;
    bool allBack = true;
    for (const auto& output : randr_->outputs()) {
        const GammaRamp* baseline = output.crtc ? baselines_.find(baselineKey(output)) : nullptr;
        if (baseline && !randr_->setGamma(output.crtc, *baseline))
            allBack = false;
    }
    gammaChanged_ = !allBack;
}

int LinuxWindowServer::getTransferTables(DisplayNumber display, GammaTables& tables) {
    if (wayland_) {
        std::string connector = connectorOf(display);
        if (wayland_->gammaUnavailable(connector))
            return resultNotImplemented;
        return wayland_->readGamma(connector, tables) ? 0 : resultFailure;
    }
    const RandrOutput* output = outputOf(display);
    if (!output || !output->crtc)
        return resultNotImplemented;
    auto ramp = randr_->gamma(output->crtc);
    if (!ramp)
        return resultFailure;
    baselines_.remember(baselineKey(*output), *ramp);
    tables = tablesFromRamp(*ramp);
    return 0;
}

int LinuxWindowServer::setTransferTables(DisplayNumber display, const GammaTables& tables) {
    if (wayland_)
        return wayland_->writeGamma(connectorOf(display), tables) ? 0 : resultFailure;
    const RandrOutput* output = outputOf(display);
    if (!output || !output->crtc)
        return resultNotImplemented;
    std::size_t size = randr_->gammaSize(output->crtc);
    if (size == 0)
        return resultFailure;
    // The first change of an output seen only now: its ramps before the change are the baseline.
    if (!baselines_.find(baselineKey(*output)))
        if (auto ramp = randr_->gamma(output->crtc))
            baselines_.remember(baselineKey(*output), *ramp);
    gammaChanged_ = true;
    return randr_->setGamma(output->crtc, rampFromTables(tables, size)) ? 0 : resultFailure;
}

std::optional<std::vector<PlatformMode>> LinuxWindowServer::allDisplayModes(DisplayNumber display) {
    if (wayland_) {
        auto modes = wayland_->modes(connectorOf(display));
        return modes && !modes->empty() ? modes : std::nullopt;
    }
    const RandrOutput* output = outputOf(display);
    if (!output || output->modes.empty())
        return std::nullopt;
    std::vector<PlatformMode> modes;
    for (const auto& m : output->modes)
        modes.push_back(platformMode(m));
    return modes;
}

std::optional<PlatformMode> LinuxWindowServer::currentDisplayMode(DisplayNumber display) {
    if (wayland_)
        return wayland_->currentMode(connectorOf(display));
    const RandrOutput* output = outputOf(display);
    if (!output)
        return std::nullopt;
    for (const auto& m : output->modes)
        if (m.id == output->mode)
            return platformMode(m);
    return std::nullopt;
}

std::unique_ptr<DisplayConfiguration> LinuxWindowServer::beginConfiguration(int& result) {
    if (wayland_) {
        result = 0;
        return std::make_unique<WaylandConfiguration>(*this);
    }
    if (!randr_) {
        result = resultNotImplemented;
        return nullptr;
    }
    result = 0;
    return std::make_unique<Configuration>(*this);
}

std::optional<std::string> LinuxWindowServer::gammaUnavailable(DisplayNumber display) {
    if (!displays_.find(display))
        return std::string("no such display");
    if (wayland_)
        return wayland_->gammaUnavailable(connectorOf(display));
    if (!randr_)
        return std::string("no X server with RandR or Wayland compositor answers to set gamma through");
    const RandrOutput* output = outputOf(display);
    if (!output)
        return std::string("the X server shows no output with this monitor's EDID");
    if (!output->crtc || randr_->gammaSize(output->crtc) == 0)
        return std::string("the X server has no gamma ramps for this output");
    return std::nullopt;
}

std::optional<std::string> LinuxWindowServer::modesUnavailable(DisplayNumber display) {
    if (!displays_.find(display))
        return std::string("no such display");
    if (wayland_)
        return wayland_->modesUnavailable(connectorOf(display));
    if (!randr_)
        return std::string("no X server with RandR or Wayland compositor answers to change modes through");
    if (!outputOf(display))
        return std::string("the X server shows no output with this monitor's EDID");
    return std::nullopt;
}

} // namespace brivio
