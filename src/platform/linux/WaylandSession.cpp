#include "platform/linux/WaylandSession.h"

#include "base/Log.h"
#include "platform/linux/DrmConnector.h"

#include <algorithm>
#include <cmath>

namespace brivio {

bool outputShowsConnector(std::string_view output, std::string_view connector) {
    auto name = parseConnectorName(connector);
    if (!name)
        return false;
    std::string index = std::to_string(name->index);
    if (output == name->type + "-" + index)
        return true;
    // GNOME drops the "-A" of HDMI type A connectors.
    return name->type == "HDMI-A" && output == "HDMI-" + index;
}

int degreesForTransform(std::int32_t transform) {
    // wl_output transforms turn counter-clockwise; the picture's clockwise turn is the rest of a circle.
    return (360 - (transform % 4) * 90) % 360;
}

std::int32_t transformForDegrees(int degrees, std::int32_t current) {
    std::int32_t turn = ((360 - degrees % 360) % 360) / 90;
    return (current & 4) | turn;
}

namespace {

constexpr std::string_view noOutputManager =
    "this desktop offers no display configuration this app can use (neither wlr-output-management nor "
    "GNOME's display configuration)";

PlatformMode wlrMode(const WlrOutputMode& mode) {
    auto w = static_cast<std::uint32_t>(mode.width), h = static_cast<std::uint32_t>(mode.height);
    return {mode.id, w, h, w, h, mode.refreshRate, true};
}

PlatformMode mutterMode(std::uint64_t handle, const MutterDisplayConfig::Mode& mode, double scale) {
    auto w = static_cast<std::uint32_t>(mode.width), h = static_cast<std::uint32_t>(mode.height);
    auto points = [scale](std::uint32_t pixels) {
        return static_cast<std::uint32_t>(std::lround(pixels / (scale > 0 ? scale : 1.0)));
    };
    return {handle, points(w), points(h), w, h, mode.refreshRate, true};
}

} // namespace

std::unique_ptr<WaylandSession> WaylandSession::open(MainLoop& loop, FdWatcher* events, SystemBus* sessionBus,
                                                     const std::optional<std::string>& socket) {
    auto connection = WaylandConnection::open(loop, events, socket);
    if (!connection)
        return nullptr;
    return std::unique_ptr<WaylandSession>(new WaylandSession(std::move(connection), sessionBus));
}

WaylandSession::WaylandSession(std::unique_ptr<WaylandConnection> connection, SystemBus* sessionBus)
    : connection_(std::move(connection)), gamma_(std::make_unique<WaylandGamma>(*connection_)),
      heads_(WlrOutputHeads::bind(*connection_)) {
    if (!heads_ && sessionBus)
        mutter_ = MutterDisplayConfig::open(*sessionBus);
    outputsChanged_ = connection_->outputsChanged().subscribe([this] { changed_.emit(); });
    if (mutter_)
        mutterChanged_ = mutter_->changed().subscribe([this] { changed_.emit(); });
    const auto& g = connection_->globals();
    logInfo(LogCategory::detection, "Wayland: {} output(s); overlays {}, gamma {}, modes and rotation {}",
            connection_->outputs().size(), g.layerShell && g.viewporter ? "by layer-shell" : "unavailable",
            g.gammaManager ? "by wlr-gamma-control" : "unavailable",
            heads_    ? "by wlr-output-management"
            : mutter_ ? "by GNOME's display configuration"
                      : "unavailable");
}

WaylandSession::~WaylandSession() {
    // The ramps go back to the compositor's before the connection ends (it would do so anyway).
    gamma_.reset();
    heads_.reset();
}

const WaylandOutput* WaylandSession::output(std::string_view connector) const {
    const WaylandOutput* found = nullptr;
    for (const auto* o : connection_->outputs()) {
        if (!outputShowsConnector(o->name, connector))
            continue;
        if (found)
            return nullptr; // two outputs claim the connector (two cards): neither is trusted
        found = o;
    }
    return found;
}

std::string WaylandSession::outputName(std::string_view connector) const {
    const WaylandOutput* o = output(connector);
    return o ? o->name : std::string{};
}

bool WaylandSession::namesConnectors(const std::vector<std::string>& connectors) const {
    return std::any_of(connectors.begin(), connectors.end(),
                       [this](auto& c) { return output(c) != nullptr; });
}

std::optional<std::string> WaylandSession::overlayUnavailable(std::string_view connector) const {
    const auto& g = connection_->globals();
    if (!g.layerShell)
        return std::string("this Wayland desktop lets no app lay a see-through layer over a display (no "
                           "wlr-layer-shell)");
    if (!g.viewporter || !g.shm || !g.compositor)
        return std::string(
            "this Wayland desktop cannot stretch a dimming layer over a display (no viewporter)");
    if (!output(connector))
        return fmt::format("the desktop shows no output for {}", connector);
    return std::nullopt;
}

std::optional<std::string> WaylandSession::gammaUnavailable(std::string_view connector) {
    std::string name = outputName(connector);
    if (name.empty())
        return connection_->globals().gammaManager
                   ? fmt::format("the desktop shows no output for {}", connector)
                   : gamma_->unavailable(std::string(connector));
    return gamma_->unavailable(name);
}

std::optional<std::string> WaylandSession::configurationUnavailable() const {
    return heads_ || mutter_ ? std::nullopt : std::optional<std::string>(noOutputManager);
}

std::optional<std::string> WaylandSession::modesUnavailable(std::string_view connector) const {
    if (heads_) {
        for (const auto* o : connection_->outputs())
            if (outputShowsConnector(o->name, connector) && heads_->head(o->name))
                return std::nullopt;
        return fmt::format("the desktop's output manager shows no output for {}", connector);
    }
    if (mutter_)
        return mutterMonitor(connector)
                   ? std::nullopt
                   : std::optional<std::string>(
                         fmt::format("GNOME's display configuration shows no monitor for {}", connector));
    return std::string(noOutputManager);
}

bool WaylandSession::readGamma(std::string_view connector, GammaTables& tables) {
    std::string name = outputName(connector);
    return !name.empty() && gamma_->read(name, tables);
}

bool WaylandSession::writeGamma(std::string_view connector, const GammaTables& tables) {
    std::string name = outputName(connector);
    return !name.empty() && gamma_->write(name, tables);
}

void WaylandSession::releaseGamma() {
    gamma_->releaseAll();
}

const MutterDisplayConfig::Monitor* WaylandSession::mutterMonitor(std::string_view connector) const {
    if (!mutter_)
        return nullptr;
    for (const auto& m : mutter_->monitors())
        if (outputShowsConnector(m.connector, connector))
            return &m;
    return nullptr;
}

std::uint64_t WaylandSession::mutterHandle(const std::string& connector, const std::string& mode,
                                           double scale) {
    auto key = std::make_tuple(connector, mode, scale);
    auto it = mutterHandles_.find(key);
    if (it != mutterHandles_.end())
        return it->second;
    std::uint64_t handle = mutterHandles_.size() + 1;
    mutterHandles_.emplace(key, handle);
    return handle;
}

std::optional<std::vector<PlatformMode>> WaylandSession::modes(std::string_view connector) {
    std::vector<PlatformMode> out;
    if (heads_) {
        const WlrOutputHead* head = heads_->head(outputName(connector));
        if (!head)
            return std::nullopt;
        for (const auto& mode : head->modes)
            if (mode->mode)
                out.push_back(wlrMode(*mode));
        return out;
    }
    const auto* monitor = mutterMonitor(connector);
    if (!monitor)
        return std::nullopt;
    // Each mode at each scale the desktop allows for it: the scaled ones are the HiDPI modes.
    for (const auto& mode : monitor->modes)
        for (double scale : mode.scales)
            out.push_back(mutterMode(mutterHandle(monitor->connector, mode.id, scale), mode, scale));
    return out;
}

std::optional<PlatformMode> WaylandSession::currentMode(std::string_view connector) {
    if (heads_) {
        const WlrOutputHead* head = heads_->head(outputName(connector));
        if (!head)
            return std::nullopt;
        for (const auto& mode : head->modes)
            if (mode->id == head->currentMode && mode->mode)
                return wlrMode(*mode);
        return std::nullopt;
    }
    const auto* monitor = mutterMonitor(connector);
    if (!monitor || !monitor->active)
        return std::nullopt;
    for (const auto& mode : monitor->modes) {
        if (!mode.current)
            continue;
        // The listed scale nearest to the current one (the bus carries it as a double).
        double scale = monitor->scale;
        for (double s : mode.scales)
            if (std::fabs(s - monitor->scale) < 1e-3)
                scale = s;
        return mutterMode(mutterHandle(monitor->connector, mode.id, scale), mode, scale);
    }
    return std::nullopt;
}

bool WaylandSession::applyModes(const std::vector<std::pair<std::string, std::uint64_t>>& changes) {
    if (heads_) {
        std::map<std::string, WlrOutputHeads::Change> byOutput;
        for (const auto& [connector, handle] : changes) {
            std::string name = outputName(connector);
            if (name.empty())
                return false;
            byOutput[name].mode = handle;
        }
        return heads_->apply(byOutput);
    }
    if (!mutter_)
        return false;
    for (const auto& [connector, handle] : changes) {
        const auto* monitor = mutterMonitor(connector);
        auto it = std::find_if(mutterHandles_.begin(), mutterHandles_.end(),
                               [&](auto& entry) { return entry.second == handle; });
        if (!monitor || it == mutterHandles_.end() || std::get<0>(it->first) != monitor->connector)
            return false;
        MutterDisplayConfig::Change change;
        change.mode = std::get<1>(it->first);
        change.scale = std::get<2>(it->first);
        if (!mutter_->apply(monitor->connector, change))
            return false;
    }
    return true;
}

int WaylandSession::rotation(std::string_view connector) const {
    // GNOME's configuration is read again after each change; elsewhere the output's own word comes
    // first: every compositor sends it, and in the same round trip as the change.
    if (const auto* monitor = mutterMonitor(connector))
        return degreesForTransform(static_cast<std::int32_t>(monitor->transform));
    if (const WaylandOutput* o = output(connector))
        return degreesForTransform(o->transform);
    if (heads_)
        if (const WlrOutputHead* head = heads_->head(outputName(connector)))
            return degreesForTransform(head->transform);
    return 0;
}

bool WaylandSession::setRotation(std::string_view connector, int degrees) {
    if (degrees % 90 != 0)
        return false;
    if (heads_) {
        std::string name = outputName(connector);
        const WlrOutputHead* head = heads_->head(name);
        if (!head)
            return false;
        WlrOutputHeads::Change change;
        const WaylandOutput* shown = output(connector);
        change.transform = transformForDegrees(degrees, shown ? shown->transform : head->transform);
        return heads_->apply({{name, change}});
    }
    const auto* monitor = mutterMonitor(connector);
    if (!monitor)
        return false;
    MutterDisplayConfig::Change change;
    change.transform = static_cast<std::uint32_t>(
        transformForDegrees(degrees, static_cast<std::int32_t>(monitor->transform)));
    return mutter_->apply(monitor->connector, change);
}

} // namespace brivio
