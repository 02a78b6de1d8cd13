#include "platform/sim/SimWindowServer.h"

#include <algorithm>
#include <fmt/format.h>
#include <set>

namespace brivio {

namespace {

bool isPortrait(double degrees) {
    return degrees == 90 || degrees == 270;
}

// A transaction collects mode changes and applies them together on completion.
class SimDisplayConfiguration final : public DisplayConfiguration {
public:
    using Apply = std::function<int(const std::vector<std::pair<DisplayNumber, PlatformMode>>&)>;
    using Configure = std::function<int(DisplayNumber)>;
    SimDisplayConfiguration(Configure configure, Apply apply)
        : configure_(std::move(configure)), apply_(std::move(apply)) {}

    int configureMode(DisplayNumber display, const PlatformMode& mode) override {
        if (done_)
            return SimResult::cgIllegalArgument;
        if (int refused = configure_(display))
            return refused;
        changes_.emplace_back(display, mode);
        return 0;
    }
    int completePermanently() override {
        if (done_)
            return SimResult::cgIllegalArgument;
        done_ = true;
        return apply_(changes_);
    }
    void cancel() override {
        done_ = true;
        changes_.clear();
    }

private:
    Configure configure_;
    Apply apply_;
    std::vector<std::pair<DisplayNumber, PlatformMode>> changes_;
    bool done_ = false;
};

} // namespace

SimWindowServer::SimWindowServer(SimState& state) : state_(state) {
    std::set<DisplayNumber> taken;
    for (auto& d : state_.displays)
        if (d->config.displayNumber)
            taken.insert(*d->config.displayNumber);
    DisplayNumber next = 1;
    for (auto& d : state_.displays) {
        if (!d->config.connected)
            continue;
        if (d->config.displayNumber) {
            d->number = *d->config.displayNumber;
        } else {
            while (taken.count(next))
                ++next;
            d->number = next++;
        }
        d->connected = true;
        highestNumber_ = std::max(highestNumber_, d->number);
    }
    for (DisplayNumber n : taken)
        highestNumber_ = std::max(highestNumber_, n);
}

std::optional<std::vector<DisplayNumber>> SimWindowServer::list() {
    if (listFails_)
        return std::nullopt;
    std::vector<DisplayNumber> out;
    for (auto& d : state_.displays)
        if (d->connected && out.size() < maxDisplays)
            out.push_back(d->number);
    return out;
}

std::optional<std::vector<DisplayNumber>> SimWindowServer::activeDisplays() {
    return list();
}
std::optional<std::vector<DisplayNumber>> SimWindowServer::onlineDisplays() {
    return list();
}

std::uint32_t SimWindowServer::vendorNumber(DisplayNumber n) {
    auto d = find(n);
    return d ? d->config.vendor : 0;
}
std::uint32_t SimWindowServer::modelNumber(DisplayNumber n) {
    auto d = find(n);
    return d ? d->config.product : 0;
}
std::uint32_t SimWindowServer::serialNumber(DisplayNumber n) {
    auto d = find(n);
    return d ? d->config.serial : 0;
}
std::uint32_t SimWindowServer::unitNumber(DisplayNumber n) {
    auto d = find(n);
    return d ? d->config.unit : 0;
}
bool SimWindowServer::isBuiltin(DisplayNumber n) {
    auto d = find(n);
    return d && d->config.builtIn;
}
Rect SimWindowServer::bounds(DisplayNumber n) {
    auto d = find(n);
    return d ? d->bounds : Rect{};
}
double SimWindowServer::rotation(DisplayNumber n) {
    auto d = find(n);
    return d ? d->rotation : 0;
}

int SimWindowServer::registerReconfigurationCallback(ReconfigurationCallback callback) {
    int id = nextCallbackId_++;
    callbacks_.emplace(id, std::move(callback));
    return id;
}

void SimWindowServer::unregisterReconfigurationCallback(int id) {
    callbacks_.erase(id);
}

void SimWindowServer::fire(DisplayNumber display, std::uint32_t flags) {
    // A real server calls from its own thread; the call arrives as a later turn of the loop.
    for (auto& [id, callback] : callbacks_) {
        state_.loop.post([weak = weak.weak(), id = id, display, flags] {
            if (!weak)
                return;
            auto it = weak->callbacks_.find(id);
            if (it == weak->callbacks_.end())
                return;
            auto callback = it->second;
            callback(display, flags);
        });
    }
}

void SimWindowServer::screensChanged() {
    if (onScreensChanged)
        onScreensChanged();
}

double SimWindowServer::gammaFactor(const SimDisplay& d, const GammaTables& t) const {
    float reference = d.calibration.red.back();
    return reference != 0 ? double(t.red.back()) / double(reference) : double(t.red.back());
}

void SimWindowServer::restoreColorSyncSettings() {
    ++restores_;
    bool changed = false;
    for (auto& d : state_.displays) {
        if (d->gamma == d->calibration)
            continue;
        d->gamma = d->calibration;
        changed = true;
        if (d->connected)
            state_.record("gamma", d.get(), "1.0000");
    }
    if (changed)
        state_.noteGammaChanged();
}

int SimWindowServer::getTransferTables(DisplayNumber n, GammaTables& tables) {
    auto d = find(n);
    if (!d)
        return SimResult::cgIllegalArgument;
    if (d->config.gammaFails || d->config.gammaUnavailable)
        return SimResult::cgFailure;
    tables = d->gamma;
    return 0;
}

int SimWindowServer::setTransferTables(DisplayNumber n, const GammaTables& tables) {
    auto d = find(n);
    if (!d)
        return SimResult::cgIllegalArgument;
    if (d->config.gammaFails || d->config.gammaUnavailable)
        return SimResult::cgFailure;
    d->gamma = tables;
    state_.record("gamma", d, fmt::format("{:.4f}", gammaFactor(*d, tables)));
    state_.noteGammaChanged();
    return 0;
}

void SimWindowServer::overwriteGamma(SimDisplay& d, const GammaTables& tables) {
    d.gamma = tables;
    state_.record("gamma", &d, fmt::format("{:.4f}", gammaFactor(d, tables)));
    state_.noteGammaChanged();
}

PlatformMode SimWindowServer::mode(const SimDisplay& d, std::size_t i) const {
    const ScenarioMode& m = d.config.modes[i];
    return {(std::uint64_t(d.index + 1) << 32) | std::uint64_t(i + 1),
            m.width,
            m.height,
            m.pixelWidth,
            m.pixelHeight,
            m.refreshRate,
            m.usable};
}

std::optional<std::string> SimWindowServer::gammaUnavailable(DisplayNumber n) {
    auto d = find(n);
    return d ? d->config.gammaUnavailable : std::optional<std::string>("no such display");
}

std::optional<std::string> SimWindowServer::modesUnavailable(DisplayNumber n) {
    auto d = find(n);
    return d ? d->config.modesUnavailable : std::optional<std::string>("no such display");
}

std::optional<std::vector<PlatformMode>> SimWindowServer::allDisplayModes(DisplayNumber n) {
    auto d = find(n);
    if (!d || d->config.modes.empty() || d->config.modesUnavailable)
        return std::nullopt;
    std::vector<PlatformMode> out;
    for (std::size_t i = 0; i < d->config.modes.size(); ++i)
        out.push_back(mode(*d, i));
    return out;
}

std::optional<PlatformMode> SimWindowServer::currentDisplayMode(DisplayNumber n) {
    auto d = find(n);
    if (!d || d->config.modes.empty())
        return std::nullopt;
    return mode(*d, d->currentMode);
}

bool SimWindowServer::refuses(SimDisplay* d, ModeChangeStep step) {
    if (!d || d->config.modeChangeFailsAt != step)
        return false;
    const char* names[] = {"", "begin", "configure", "complete"};
    state_.record("mode", d, fmt::format("refused at {}", names[int(step)]));
    return true;
}

std::unique_ptr<DisplayConfiguration> SimWindowServer::beginConfiguration(int& result) {
    // A transaction is not tied to a display yet: any display that refuses to begin refuses them all.
    for (auto& d : state_.displays) {
        if (d->connected && refuses(d.get(), ModeChangeStep::begin)) {
            result = SimResult::cgFailure;
            return nullptr;
        }
    }
    result = 0;
    return std::make_unique<SimDisplayConfiguration>(
        [weak = weak.weak()](DisplayNumber number) {
            if (!weak)
                return SimResult::cgFailure;
            return weak->refuses(weak->find(number), ModeChangeStep::configure) ? SimResult::cgFailure : 0;
        },
        [weak = weak.weak()](const std::vector<std::pair<DisplayNumber, PlatformMode>>& changes) {
            if (!weak)
                return SimResult::cgFailure;
            for (auto& [number, m] : changes)
                if (weak->refuses(weak->find(number), ModeChangeStep::complete))
                    return SimResult::cgFailure;
            // Checked first so that a bad change leaves every display as it was.
            std::vector<std::pair<SimDisplay*, std::size_t>> resolved;
            for (auto& [number, m] : changes) {
                SimDisplay* d = weak->find(number);
                std::size_t index = std::size_t(m.handle & 0xFFFFFFFFu);
                if (!d || (m.handle >> 32) != d->index + 1 || index == 0 || index > d->config.modes.size())
                    return SimResult::cgIllegalArgument;
                resolved.emplace_back(d, index - 1);
            }
            for (auto& [d, index] : resolved)
                weak->switchMode(*d, index);
            return 0;
        });
}

void SimWindowServer::switchMode(SimDisplay& d, std::size_t modeIndex) {
    if (modeIndex >= d.config.modes.size())
        return;
    d.currentMode = modeIndex;
    const ScenarioMode& m = d.config.modes[modeIndex];
    d.bounds.width = isPortrait(d.rotation) ? m.height : m.width;
    d.bounds.height = isPortrait(d.rotation) ? m.width : m.height;
    state_.record("mode", &d, fmt::format("{}x{}@{}", m.width, m.height, m.refreshRate));
    if (d.connected) {
        fire(d.number, ReconfigurationFlags::setMode);
        screensChanged();
    }
}

bool SimWindowServer::connect(SimDisplay& d) {
    if (d.connected)
        return false;
    bool firstTime = d.number == 0;
    if (firstTime && d.config.displayNumber && !state_.connected(*d.config.displayNumber))
        d.number = *d.config.displayNumber;
    else
        d.number = ++highestNumber_;
    highestNumber_ = std::max(highestNumber_, d.number);
    d.connected = true;
    const bool gammaWasOff = d.gamma != d.calibration;
    d.gamma = d.calibration; // a display comes back with its calibration
    d.cachedKey.reset();
    if (gammaWasOff)
        state_.noteGammaChanged();
    state_.record("plug", &d, fmt::format("connected {}", d.number));
    fire(d.number, ReconfigurationFlags::add);
    fire(d.number, ReconfigurationFlags::enabled);
    screensChanged();
    return true;
}

bool SimWindowServer::disconnect(SimDisplay& d) {
    if (!d.connected)
        return false;
    d.connected = false;
    state_.record("plug", &d, "disconnected");
    fire(d.number, ReconfigurationFlags::remove);
    screensChanged();
    return true;
}

void SimWindowServer::setBounds(SimDisplay& d, const Rect& bounds) {
    d.bounds = bounds;
    if (d.connected) {
        fire(d.number, ReconfigurationFlags::moved);
        screensChanged();
    }
}

void SimWindowServer::setRotation(SimDisplay& d, double degrees) {
    if (isPortrait(degrees) != isPortrait(d.rotation))
        std::swap(d.bounds.width, d.bounds.height);
    d.rotation = degrees;
    state_.record("rotation", &d, fmt::format("{}", degrees));
    if (d.connected) {
        fire(d.number, ReconfigurationFlags::setMode);
        screensChanged();
    }
}

} // namespace brivio
