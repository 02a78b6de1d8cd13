#include "platform/sim/SimDesk.h"

#include "core/model/DisplayIdentity.h"
#include "core/model/DisplayName.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
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
      indicator_(state_) {
    state_.computeKey = [this](const SimDisplay& d) { return computeKey(d); };
    windowServer_.onScreensChanged = [this] { windowSystem_.postScreensChanged(); };
}

std::unique_ptr<SimDesk> SimDesk::fromFile(MainLoop& loop, const std::string& path) {
    return std::make_unique<SimDesk>(loop, Scenario::load(path));
}

Platform SimDesk::platform() {
    return Platform{state_.loop, windowServer_,    registry_,          windowSystem_,
                    clock_,      location_,        avServiceSymbols(), displayServicesSymbols(),
                    &indicator_, rotationService()};
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

double SimDesk::gammaFactor(std::size_t index) const {
    const SimDisplay& d = display(index);
    float reference = d.calibration.red.back();
    return reference != 0 ? double(d.gamma.red.back()) / double(reference) : double(d.gamma.red.back());
}

void SimDesk::overwriteGamma(std::size_t index, const GammaTables& tables) {
    windowServer_.overwriteGamma(display(index), tables);
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
        int rc = d.connected ? d.monitor.write(chip, address, bytes, length) : SimResult::noDevice;
        if (weakDesk->state_.trace.enabled()) {
            std::string details =
                fmt::format("write {:02X} {:02X} {}", chip, address, Trace::hexBytes(bytes, length));
            if (rc != 0)
                details += fmt::format(" -> error {:08X}", std::uint32_t(rc));
            weakDesk->state_.record("i2c", &d, details);
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
    return {create, write, read};
}

DisplayServicesSymbols SimDesk::displayServicesSymbols() {
    auto weakDesk = weak.weak();
    auto get = [weakDesk](std::uint32_t number, float& brightness) {
        SimDisplay* d = weakDesk ? weakDesk->state_.connected(number) : nullptr;
        if (!d || !d->nativeLevel)
            return SimResult::cgFailure;
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
