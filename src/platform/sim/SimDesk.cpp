#include "platform/sim/SimDesk.h"

#include "base/BoundedJson.h"
#include "model/DisplayIdentity.h"
#include "model/DisplayName.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace brivio {

namespace {

// The channel of one display's AV service.
struct SimChannel final : AVServiceChannel {
    explicit SimChannel(SimDisplay& display) : display(display) {}
    SimDisplay& display;
};

constexpr std::uint32_t simConnection = 0x5A17;

bool isAngle(double degrees) {
    return degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270;
}

// The display's entry for a rotation path, when the scenario gives it one.
const ScenarioRotationPath* pathOf(const SimDisplay& d, RotationPath path) {
    if (!d.config.rotationPaths)
        return nullptr;
    for (auto& p : *d.config.rotationPaths)
        if (p.path == path)
            return &p;
    return nullptr;
}

SimState& populate(SimState& state, const Scenario& scenario) {
    for (std::size_t i = 0; i < scenario.displays.size(); ++i)
        state.displays.push_back(std::make_unique<SimDisplay>(i, scenario.displays[i], state.loop));
    return state;
}

} // namespace

SimDesk::SimDesk(MainLoop& loop, Scenario scenario)
    : scenario_(std::move(scenario)), state_(loop), windowServer_(populate(state_, scenario_)),
      registry_(state_, windowServer_), windowSystem_(state_),
      clock_(loop, scenario_.clock.start, scenario_.clock.timeZone), location_(loop, scenario_.location),
      indicator_(state_), hotKeys_(state_) {
    state_.computeKey = [this](const SimDisplay& d) { return computeKey(d); };
    windowServer_.onScreensChanged = [this] { windowSystem_.postScreensChanged(); };
    // Background timers: what is still to come is not work left undone, so a run settles without
    // waiting for it (and `advance` still plays it).
    for (const ScenarioEvent& event : scenario_.events)
        loop.postAfter(
            event.at,
            [desk = weak.weak(), event] {
                if (desk)
                    desk->play(event);
            },
            TimerRole::background);
    scheduleGammaResets();
}

void SimDesk::play(const ScenarioEvent& event) {
    if (event.sleepFor)
        sleepFor(*event.sleepFor);
    if (event.clockJump)
        jumpClock(*event.clockJump);
    if (event.action == DeskAction::none)
        return;
    SimDisplay& d = display(event.display);
    switch (event.action) {
    case DeskAction::none:
        break;
    case DeskAction::plug:
        connect(event.display);
        break;
    case DeskAction::unplug:
        disconnect(event.display);
        break;
    case DeskAction::moved:
        windowServer_.setBounds(d, d.bounds);
        break;
    case DeskAction::ddcStops:
        d.monitor.setAnswering(false);
        break;
    case DeskAction::ddcAnswers:
        d.monitor.setAnswering(true);
        break;
    case DeskAction::refuseSetVcp:
        d.monitor.refuseSetRequests(event.count);
        break;
    case DeskAction::failBacklightReads:
        d.failedNativeReads += event.count;
        break;
    case DeskAction::writeGamma: {
        // Unplugged, the display has no tables; it comes back with its calibration anyway.
        if (!d.connected)
            break;
        GammaTables tables = d.calibration;
        std::array<GammaChannel*, 3> channels{&tables.red, &tables.green, &tables.blue};
        for (std::size_t c = 0; c < channels.size(); ++c)
            for (float& v : *channels[c])
                v = static_cast<float>(v * event.gamma[c]);
        overwriteGamma(event.display, tables);
        break;
    }
    }
}

void SimDesk::scheduleGammaResets() {
    for (auto& d : state_.displays) {
        for (long long at : d->config.gammaResetAtMs) {
            // Background timers: another program's habits must not keep a run from settling.
            state_.loop.postAfter(
                std::chrono::milliseconds(at),
                [self = weak.weak(), index = d->index] {
                    SimDesk* desk = self.get();
                    if (!desk)
                        return;
                    SimDisplay& target = *desk->state_.displays[index];
                    // An unplugged display has no tables; it comes back with its calibration anyway.
                    if (target.connected)
                        desk->overwriteGamma(index, target.calibration);
                },
                TimerRole::background);
        }
    }
}

std::unique_ptr<SimDesk> SimDesk::fromFile(MainLoop& loop, const std::string& path) {
    return std::make_unique<SimDesk>(loop, Scenario::load(path));
}

Platform SimDesk::platform() {
    Platform p{state_.loop, windowServer_, registry_,          windowSystem_,
               clock_,      location_,     avServiceSymbols(), displayServicesSymbols(),
               &indicator_};
    p.hotKeys = &hotKeys_;
    p.rotation = rotationService();
    return p;
}

SimDisplay& SimDesk::display(std::size_t index) const {
    if (index >= state_.displays.size())
        throw std::out_of_range(fmt::format("the desk has no display {}", index));
    return *state_.displays[index];
}

std::string SimDesk::computeKey(const SimDisplay& d) {
    // Named exactly as the system names it: built-in, screen name, EDID of the AV services, number.
    const ScenarioDisplay& c = d.config;
    std::optional<std::string> screenName;
    if (c.screen)
        screenName = c.name;
    EdidSource edids = [this] {
        std::vector<EdidBlock> out;
        for (auto& service : registry_.matchingServices("DCPAVServiceProxy").services)
            if (auto v = registry_.searchPropertyWithParents(service, "EDID"); v && v->asBytes())
                out.push_back(*v->asBytes());
        return out;
    };
    std::string name = resolveDisplayName(c.builtIn, screenName, edids, c.vendor, c.product, d.number);
    return DisplayIdentity{d.number, c.vendor, c.product, c.serial, name, c.unit}.stableKey();
}

std::optional<DisplayNumber> SimDesk::displayNumber(std::size_t index) const {
    const SimDisplay& d = display(index);
    return d.connected ? std::optional(d.number) : std::nullopt;
}

std::string SimDesk::stableKey(std::size_t index) {
    return state_.keyOf(display(index));
}

bool SimDesk::disconnect(std::size_t index) {
    return windowServer_.disconnect(display(index));
}
bool SimDesk::connect(std::size_t index) {
    return windowServer_.connect(display(index));
}
void SimDesk::setBounds(std::size_t index, const Rect& bounds) {
    windowServer_.setBounds(display(index), bounds);
}

std::optional<std::uint16_t> SimDesk::vcpValue(std::size_t index, std::uint8_t code) const {
    return display(index).monitor.value(code);
}

void SimDesk::setVcpValue(std::size_t index, std::uint8_t code, std::uint16_t value) {
    display(index).monitor.setValue(code, value);
}

std::optional<float> SimDesk::nativeBrightness(std::size_t index) const {
    return display(index).nativeLevel;
}

void SimDesk::setNativeBrightness(std::size_t index, float level) {
    SimDisplay& d = display(index);
    if (d.nativeLevel)
        d.nativeLevel = std::clamp(level, 0.0f, 1.0f);
}

std::size_t SimDesk::currentMode(std::size_t index) const {
    return display(index).currentMode;
}

void SimDesk::setCurrentMode(std::size_t index, std::size_t mode) {
    SimDisplay& d = display(index);
    if (mode < d.config.modes.size() && mode != d.currentMode)
        windowServer_.switchMode(d, mode);
}

double SimDesk::rotationAngle(std::size_t index) const {
    return display(index).rotation;
}

void SimDesk::setRotationAngle(std::size_t index, double degrees) {
    SimDisplay& d = display(index);
    bool rightAngle = degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270;
    if (rightAngle && degrees != d.rotation)
        windowServer_.setRotation(d, degrees);
}

double SimDesk::gammaFactor(std::size_t index) const {
    const SimDisplay& d = display(index);
    float reference = d.calibration.red.back();
    return reference != 0 ? double(d.gamma.red.back()) / double(reference) : double(d.gamma.red.back());
}

void SimDesk::overwriteGamma(std::size_t index, const GammaTables& tables) {
    windowServer_.overwriteGamma(display(index), tables);
}

std::optional<std::uint8_t> SimDesk::inputSource(std::size_t index) const {
    auto value = vcpValue(index, 0x60);
    return value ? std::optional(std::uint8_t(*value & 0xFF)) : std::nullopt;
}

bool SimDesk::poweredOn(std::size_t index) const {
    auto mode = powerMode(index);
    return !mode || (*mode != 4 && *mode != 5);
}

namespace {

nlohmann::json channelJson(const GammaChannel& channel) {
    return nlohmann::json(std::vector<float>(channel.begin(), channel.end()));
}

bool readChannel(const nlohmann::json& j, GammaChannel& channel) {
    if (!j.is_array() || j.size() != gammaTableSize)
        return false;
    for (std::size_t i = 0; i < gammaTableSize; ++i) {
        if (!j[i].is_number())
            return false;
        channel[i] = j[i].get<float>();
    }
    return true;
}

} // namespace

void SimDesk::persistGammaState(const std::string& path) {
    gammaStatePath_ = path;
    loadGammaState();
    saveGammaState(); // throws now, when the place cannot hold the record
    state_.gammaChanged = [this] {
        // The system under test must not fail because of the desk's own bookkeeping.
        try {
            saveGammaState();
        } catch (const std::exception&) {
        }
    };
}

void SimDesk::loadGammaState() {
    // 32 displays of three 256-entry tables fit well within the limits; anything else is not ours.
    BoundedRead file = readBoundedFile(gammaStatePath_, 4u << 20);
    if (file.status != BoundedReadStatus::ok)
        return;
    auto parsed = parseBoundedJson(file.contents, JsonLimits{4u << 20, 8});
    if (!parsed)
        return;
    const nlohmann::json& document = *parsed;
    if (!document.is_object() || !document.contains("displays") || !document["displays"].is_object())
        return;
    const nlohmann::json& saved = document["displays"];
    for (auto& d : state_.displays) {
        auto it = saved.find(state_.keyOf(*d));
        if (it == saved.end() || !it->is_object())
            continue;
        GammaTables tables;
        if (readChannel(it->value("red", nlohmann::json()), tables.red) &&
            readChannel(it->value("green", nlohmann::json()), tables.green) &&
            readChannel(it->value("blue", nlohmann::json()), tables.blue))
            d->gamma = tables;
    }
}

void SimDesk::saveGammaState() {
    // Only displays away from their calibration: an empty list means nothing is left to undo.
    nlohmann::json displays = nlohmann::json::object();
    for (auto& d : state_.displays) {
        if (d->gamma == d->calibration)
            continue;
        displays[state_.keyOf(*d)] = {{"factor", gammaFactor(d->index)},
                                      {"red", channelJson(d->gamma.red)},
                                      {"green", channelJson(d->gamma.green)},
                                      {"blue", channelJson(d->gamma.blue)}};
    }
    nlohmann::json document = {{"displays", displays}};
    // Written beside and renamed over, so that a run killed mid-write leaves the previous record.
    std::filesystem::path target(gammaStatePath_);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path());
    const std::string temporary = gammaStatePath_ + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error(fmt::format("cannot write the gamma state {}", temporary));
        out << document.dump() << "\n";
        if (!out.flush())
            throw std::runtime_error(fmt::format("cannot write the gamma state {}", temporary));
    }
    std::filesystem::rename(temporary, target);
}

AVServiceSymbols SimDesk::avServiceSymbols() {
    auto weakDesk = weak.weak();
    auto create = [weakDesk](const RegistryService& service) -> AVServiceHandle {
        if (!weakDesk || !weakDesk->registry_.carriesI2C(service))
            return nullptr;
        return std::make_shared<SimChannel>(*weakDesk->registry_.displayOf(service));
    };
    auto write = [weakDesk](const AVServiceHandle& handle, std::uint32_t chip, std::uint32_t address,
                            const std::uint8_t* bytes, std::uint32_t length) {
        auto channel = dynamic_cast<SimChannel*>(handle.get());
        if (!weakDesk || !channel)
            return SimResult::noDevice;
        SimDisplay& d = channel->display;
        const auto inputBefore = d.monitor.value(0x60), powerBefore = d.monitor.value(0xD6);
        int rc = d.connected ? d.monitor.write(chip, address, bytes, length) : SimResult::noDevice;
        if (weakDesk->state_.trace.enabled()) {
            std::string details =
                fmt::format("write {:02X} {:02X} {}", chip, address, Trace::hexBytes(bytes, length));
            if (rc != 0)
                details += fmt::format(" -> error {:08X}", std::uint32_t(rc));
            weakDesk->state_.record("i2c", &d, details);
            if (auto input = d.monitor.value(0x60); input != inputBefore)
                weakDesk->state_.record("input", &d, fmt::format("0x{:02X}", *input & 0xFF));
            if (auto power = d.monitor.value(0xD6); power != powerBefore)
                weakDesk->state_.record("power", &d, fmt::format("{}", *power));
        }
        return rc;
    };
    auto read = [weakDesk](const AVServiceHandle& handle, std::uint32_t chip, std::uint32_t offset,
                           std::uint8_t* buffer, std::uint32_t length) {
        auto channel = dynamic_cast<SimChannel*>(handle.get());
        if (!weakDesk || !channel)
            return SimResult::noDevice;
        SimDisplay& d = channel->display;
        int rc = d.connected ? d.monitor.read(chip, offset, buffer, length) : SimResult::noDevice;
        if (weakDesk->state_.trace.enabled()) {
            std::string result =
                rc == 0 ? Trace::hexBytes(buffer, length) : fmt::format("error {:08X}", std::uint32_t(rc));
            weakDesk->state_.record("i2c", &d, fmt::format("read {:02X} {:02X} -> {}", chip, offset, result));
        }
        return rc;
    };
    return {create, write, read, nullptr};
}

DisplayServicesSymbols SimDesk::displayServicesSymbols() {
    auto weakDesk = weak.weak();
    auto get = [weakDesk](std::uint32_t number, float& brightness) {
        SimDisplay* d = weakDesk ? weakDesk->state_.connected(number) : nullptr;
        if (!d || !d->nativeLevel)
            return SimResult::cgFailure;
        if (d->failedNativeReads > 0) {
            --d->failedNativeReads;
            return SimResult::cgFailure;
        }
        brightness = *d->nativeLevel;
        return 0;
    };
    auto set = [weakDesk](std::uint32_t number, float brightness) {
        SimDisplay* d = weakDesk ? weakDesk->state_.connected(number) : nullptr;
        if (!d || !d->nativeLevel || std::isnan(brightness))
            return SimResult::cgFailure;
        d->nativeLevel = std::clamp(brightness, 0.0f, 1.0f);
        weakDesk->state_.record("native", d, fmt::format("{:.4f}", *d->nativeLevel));
        return 0;
    };
    return {get, set};
}

} // namespace brivio

namespace brivio {

RotationService SimDesk::rotationService() {
    // An entry exists when any display lists its path; it turns only the displays that list it.
    auto anyHas = [this](RotationPath path) {
        return std::any_of(state_.displays.begin(), state_.displays.end(),
                           [&](auto& d) { return pathOf(*d, path) != nullptr; });
    };
    auto weakDesk = weak.weak();
    auto turn = [weakDesk](std::uint32_t number, double angle, RotationPath path) {
        SimDisplay* d = weakDesk ? weakDesk->state_.connected(number) : nullptr;
        const ScenarioRotationPath* p = d ? pathOf(*d, path) : nullptr;
        if (!p || p->fails)
            return SimResult::cgFailure;
        if (!isAngle(angle))
            return SimResult::cgIllegalArgument;
        weakDesk->windowServer_.setRotation(*d, angle);
        return 0;
    };
    RotationService service;
    if (anyHas(RotationPath::displayRotation))
        service.process.setDisplayRotation = [turn](std::uint32_t display, std::int32_t angle) {
            return turn(display, angle, RotationPath::displayRotation);
        };
    if (anyHas(RotationPath::connectionRotation)) {
        service.process.mainConnectionID = [] { return simConnection; };
        service.process.setConnectionDisplayRotation = [turn](std::uint32_t connection, std::uint32_t display,
                                                              double angle) {
            return connection == simConnection ? turn(display, angle, RotationPath::connectionRotation)
                                               : SimResult::cgIllegalArgument;
        };
    }
    if (anyHas(RotationPath::userRotation))
        service.process.setUserRotation = [turn](std::uint32_t display, std::uint32_t angle) {
            turn(display, double(angle), RotationPath::userRotation);
        };
    bool displayServices = anyHas(RotationPath::displayService);
    // Only the system's graphics library opens; it offers the display-service lookup.
    service.openLibrary = [weakDesk, displayServices](const std::string& path) {
        OpenedRotationLibrary library;
        if (!path.ends_with("/CoreGraphics")) {
            library.error = fmt::format("{}: no such library on the simulated desk", path);
            return library;
        }
        library.opened = true;
        if (displayServices)
            library.entries.serviceForDisplayNumber =
                [weakDesk](std::uint32_t number) -> std::optional<RegistryService> {
                SimDisplay* d = weakDesk ? weakDesk->state_.connected(number) : nullptr;
                return d ? weakDesk->registry_.displayServiceOf(*d) : std::nullopt;
            };
        return library;
    };
    return service;
}

} // namespace brivio
