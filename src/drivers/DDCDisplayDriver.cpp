#include "drivers/DDCDisplayDriver.h"

#include "base/Log.h"
#include "model/DisplayDriverError.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace brivio {

namespace {

constexpr LogCategory ddcLog = LogCategory::driver;

DisplayCapabilities softwareOnly() {
    DisplayCapabilities caps;
    caps.supportsOverlayDimming = true;
    caps.hardwareBrightnessFallbackReason = FallbackReason::noDDC;
    return caps;
}

double fractionOf(const VCPReading& reading) {
    if (reading.max == 0)
        return 0;
    return std::min(static_cast<double>(reading.current) / reading.max, 1.0);
}

long percent(double fraction) {
    return static_cast<long>(std::trunc(fraction * 100));
}

// The monitor's own scale: halves round away from zero.
std::uint16_t scaled(double fraction, std::uint16_t max) {
    return static_cast<std::uint16_t>(std::round(fraction * max));
}

// Levels arrive from sliders, presets and stored settings; anything that is not a number counts as 0.
double clampLevel(double value) {
    if (std::isnan(value) || value <= 0)
        return 0;
    return value > 1 ? 1 : value;
}

// A float as a decimal number that always shows its fraction ("-1.0", "0.25").
std::string decimal(float value) {
    std::string text = fmt::format("{}", value);
    if (text.find_first_of(".eni") == std::string::npos)
        text += ".0";
    return text;
}

std::string serviceLabel(const IOServiceSnapshot& s) {
    return fmt::format("{}[{:X}]", s.className, s.registryID);
}

} // namespace

DDCDisplayDriver::DDCDisplayDriver(WindowServer& windowServer, Registry& registry, AVServiceSymbols avService,
                                   DisplayServicesSymbols displayServices, TopologyClasses classes)
    : windowServer_(windowServer), registry_(registry), avService_(std::move(avService)),
      displayServices_(std::move(displayServices)), classes_(std::move(classes)) {}

namespace {

// Marks a display's probe as running while it lives.
class RunningProbe {
public:
    RunningProbe(std::shared_ptr<std::set<std::string>> running, std::string key)
        : running_(std::move(running)), key_(std::move(key)) {
        running_->insert(key_);
    }
    ~RunningProbe() { running_->erase(key_); }
    RunningProbe(const RunningProbe&) = delete;
    RunningProbe& operator=(const RunningProbe&) = delete;

private:
    std::shared_ptr<std::set<std::string>> running_;
    std::string key_;
};

} // namespace

Task<DisplayCapabilities> DDCDisplayDriver::probeCapabilities(ManagedDisplay display) {
    const std::string key = display.identity.stableKey();
    // A probe already on the bus (an earlier enumeration's) answers for this one too; if it was
    // cancelled instead, this one probes itself.
    while (probesRunning_->count(key) && !capabilities_.count(key))
        co_await sleep(probeWaitPoll);
    if (auto it = capabilities_.find(key); it != capabilities_.end())
        co_return it->second;
    RunningProbe running(probesRunning_, key);
    DisplayCapabilities caps = co_await probe(display);
    capabilities_[key] = caps;
    co_return caps;
}

Task<DisplayCapabilities> DDCDisplayDriver::probe(ManagedDisplay display) {
    const DisplayIdentity& id = display.identity;
    const std::string key = id.stableKey();
    const std::string& name = id.modelName;
    if (display.isBuiltIn)
        co_return softwareOnly();

    // A fresh probe starts from nothing: a path that no longer answers must not linger.
    channels_.erase(key);
    channelServiceIDs_.erase(key);
    displayServicesSet_.erase(key);
    channelProblems_.erase(key);
    brightnessCurrent_.erase(key);
    unreadProbeBrightness_.erase(key);
    if (auto it = serviceIDByDisplay_.find(key); it != serviceIDByDisplay_.end()) {
        claimedServiceIDs_.erase(it->second);
        serviceIDByDisplay_.erase(it);
    }

    if (!topology_) {
        logInfo(LogCategory::discovery, "Building display topology");
        topology_ = buildTopology(windowServer_, registry_, classes_);
    }
    // A copy: the cache may be dropped while this probe waits on the bus. The display's own entry
    // where its services name it; otherwise the first of its model.
    std::optional<DisplayTopologyEntry> entry;
    for (const auto& e : *topology_)
        if (e.display.cgID == id.cgID && e.display.vendorID == id.vendorID &&
            e.display.productID == id.productID &&
            std::any_of(e.matchedServices.begin(), e.matchedServices.end(),
                        [&](const IOServiceSnapshot& s) { return s.displayNumber == id.cgID; }))
            entry = e;
    for (const auto& e : *topology_)
        if (!entry && e.display.vendorID == id.vendorID && e.display.productID == id.productID)
            entry = e;
    if (!entry) {
        logError(ddcLog, "DDC: {} not in topology — overlay", name);
        co_return softwareOnly();
    }
    if (entry->matchedServices.empty()) {
        logInfo(ddcLog, "DDC: {} not matched to any IOKit service (v={:04X} p={:04X} unit={}) — overlay",
                name, id.vendorID, id.productID, entry->display.unitNumber);
        co_return softwareOnly();
    }
    const std::optional<std::string> preferred = preferredClassName(*entry, classes_);
    logInfo(ddcLog, "DDC: {} matched {} service(s), preferred={}", name, entry->matchedServices.size(),
            preferred.value_or("none"));

    if (!avService_.createWithService || !avService_.writeI2C || !avService_.readI2C) {
        logError(ddcLog, "DDC: IOAVService symbols missing from IOKit");
    } else {
        std::vector<IOServiceSnapshot> candidates;
        auto take = [&](const IOServiceSnapshot& s) {
            if (std::none_of(candidates.begin(), candidates.end(),
                             [&](const IOServiceSnapshot& c) { return c.registryID == s.registryID; }))
                candidates.push_back(s);
        };
        for (const auto& s : entry->matchedServices)
            if (s.className == preferred)
                take(s);
        for (const auto& s : entry->matchedServices)
            take(s);

        for (const auto& candidate : candidates) {
            if (claimedByOther(candidate.registryID, key)) {
                logInfo(ddcLog, "DDC:   Skipping {} — claimed by another display", serviceLabel(candidate));
                continue;
            }
            if (auto caps = co_await tryCandidate(candidate, key, name))
                co_return *caps;
        }
    }

    if (auto caps = tryDisplayServices(display)) {
        channelProblems_.erase(key);
        co_return *caps;
    }
    logInfo(ddcLog, "DDC: {} — all paths exhausted, soft-dim only", name);
    co_return softwareOnly();
}

Task<std::optional<DisplayCapabilities>> DDCDisplayDriver::tryCandidate(IOServiceSnapshot candidate,
                                                                        std::string key, std::string name) {
    const std::string label = serviceLabel(candidate);
    logInfo(ddcLog, "DDC: trying {} for {}", label, name);
    std::optional<RegistryService> service = findRetainedService(candidate);
    if (!service) {
        logInfo(ddcLog, "DDC:   findRetainedService nil for {}", candidate.className);
        co_return std::nullopt;
    }
    AVServiceHandle handle = avService_.createWithService(*service);
    service.reset();
    if (!handle) {
        logInfo(ddcLog, "DDC:   IOAVServiceCreateWithService nil for {}", candidate.className);
        channelProblems_.try_emplace(key, DDCChannelProblem::noChannel);
        co_return std::nullopt;
    }
    std::optional<VCPReading> reading = co_await readFeature(key, handle, ddc::brightness, true);
    if (!reading) {
        logInfo(ddcLog, "DDC:   GetVCP 0x10 no reply via {}", candidate.className);
        channelProblems_[key] = DDCChannelProblem::noAnswer;
        co_return std::nullopt;
    }
    // Writing the current value back proves the channel takes writes without changing anything.
    const double fraction = fractionOf(*reading);
    const DDCProbeOptions options = probeOptions_;
    if (options.writeBack && !setVCP(avService_, handle, ddc::brightness, scaled(fraction, reading->max))) {
        logInfo(ddcLog, "DDC:   SetVCP 0x10 failed via {}", candidate.className);
        co_return std::nullopt;
    }
    // Another display's probe may have confirmed this service while this one waited on the bus.
    if (claimedByOther(candidate.registryID, key)) {
        logInfo(ddcLog, "DDC:   Skipping {} — claimed by another display", label);
        co_return std::nullopt;
    }
    claimedServiceIDs_.insert(candidate.registryID);
    serviceIDByDisplay_[key] = candidate.registryID;
    channels_[key] = handle;
    channelServiceIDs_[key] = candidate.registryID;
    brightnessMax_[key] = reading->max;
    brightnessCurrent_[key] = fraction;
    unreadProbeBrightness_.insert(key);
    channelProblems_.erase(key);
    logInfo(ddcLog, "DDC: ✓ {} confirmed for {} — {}% max={}", label, name, percent(fraction), reading->max);

    DisplayCapabilities caps;
    caps.supportsHardwareBrightness = true;
    caps.supportsOverlayDimming = true;
    const auto& noPowerOff = classes_.withoutPowerOff;
    caps.supportsPowerOff =
        std::find(noPowerOff.begin(), noPowerOff.end(), candidate.className) == noPowerOff.end();

    std::optional<VCPReading> contrast, volume, input;
    if (options.contrast)
        contrast = co_await readFeature(key, handle, ddc::contrast, false);
    if (contrast) {
        contrastMax_[key] = contrast->max;
        contrastCurrent_[key] = fractionOf(*contrast);
        caps.supportsHardwareContrast = true;
        logInfo(ddcLog, "DDC: contrast (0x12) supported for {} current={}% max={}", name,
                percent(fractionOf(*contrast)), contrast->max);
    }
    if (options.volume)
        volume = co_await readFeature(key, handle, ddc::volume, false);
    if (volume) {
        volumeMax_[key] = volume->max;
        volumeCurrent_[key] = fractionOf(*volume);
        caps.supportsHardwareVolume = true;
        logInfo(ddcLog, "DDC: volume (0x62) supported for {} current={}% max={}", name,
                percent(fractionOf(*volume)), volume->max);
    }
    if (options.inputSelect)
        input = co_await readFeature(key, handle, ddc::inputSelect, false);
    if (input) {
        const auto stored = static_cast<std::uint8_t>(input->current & 0xFF);
        inputSource_[key] = stored;
        caps.supportsInputSwitch = true;
        logInfo(ddcLog, "DDC: input (0x60) supported for {} current={} → stored={}", name, input->current,
                stored);
    }
    co_return caps;
}

std::optional<DisplayCapabilities> DDCDisplayDriver::tryDisplayServices(const ManagedDisplay& display) {
    if (!displayServices_.getBrightness || !displayServices_.setBrightness)
        return std::nullopt;
    const auto& id = display.identity;
    float b = -1.0f;
    const bool holds = displayServices_.getBrightness(id.cgID, b) == 0 && b >= 0 &&
                       displayServices_.setBrightness(id.cgID, b) == 0;
    if (!holds) {
        logInfo(ddcLog, "DDC: DisplayServices not usable for {} (raw={})", id.modelName, decimal(b));
        return std::nullopt;
    }
    displayServicesSet_.insert(id.stableKey());
    logInfo(ddcLog, "DDC: ✓ DisplayServices confirmed for {} — {}%", id.modelName,
            static_cast<long>(std::trunc(b * 100.0f)));
    DisplayCapabilities caps;
    caps.supportsHardwareBrightness = true;
    caps.supportsPowerOff = true;
    caps.supportsOverlayDimming = true;
    return caps;
}

std::optional<RegistryService> DDCDisplayDriver::findRetainedService(const IOServiceSnapshot& candidate) {
    ServiceListing listing = registry_.matchingServices(candidate.className);
    if (listing.result != 0)
        return std::nullopt;
    for (const auto& service : listing.services)
        if (service.registryID == candidate.registryID)
            return service;
    // A service that named its display is that display's only: never a look-alike in its place.
    if (candidate.displayNumber)
        return std::nullopt;
    // Registry IDs change when a monitor is re-attached; its numbers do not. Only when the ID is gone:
    // identical monitors publish the same numbers, and the first of them must not answer for the rest.
    if (candidate.vendorID == 0)
        return std::nullopt;
    for (const auto& service : listing.services) {
        IOServiceSnapshot fresh = snapshotService(registry_, service);
        if (fresh.vendorID == candidate.vendorID && fresh.productID == candidate.productID)
            return service;
    }
    return std::nullopt;
}

bool DDCDisplayDriver::claimedByOther(RegistryID id, const std::string& key) const {
    if (claimedServiceIDs_.count(id)) {
        auto own = serviceIDByDisplay_.find(key);
        if (own == serviceIDByDisplay_.end() || own->second != id)
            return true;
    }
    // Claims are forgotten on every enumeration, but a display that keeps its capabilities keeps
    // driving its channel; handing that service to a second display would steer the wrong monitor.
    for (const auto& [other, serviceID] : channelServiceIDs_)
        if (other != key && serviceID == id)
            return true;
    return false;
}

Task<void> DDCDisplayDriver::writeValue(double value, DisplayControl control, ManagedDisplay display) {
    const std::string key = display.identity.stableKey();
    if (probingKeys_.count(key))
        co_return;
    const double v = clampLevel(value);
    const AVServiceHandle handle = channel(key);
    switch (control) {
    case DisplayControl::brightness:
        if (handle) {
            if (writeScaled(key, ddc::brightness, brightnessMax_, v))
                co_return;
            logError(ddcLog, "DDC: I²C write failed for {}", display.identity.modelName);
        }
        if (displayServicesSet_.count(key) && displayServices_.setBrightness) {
            displayServices_.setBrightness(display.identity.cgID, static_cast<float>(v));
            co_return;
        }
        break;
    case DisplayControl::contrast:
        if (handle && writeScaled(key, ddc::contrast, contrastMax_, v))
            co_return;
        break;
    case DisplayControl::volume:
        if (handle && writeScaled(key, ddc::volume, volumeMax_, v))
            co_return;
        break;
    case DisplayControl::mute:
        break;
    }
    throw DisplayDriverError::unsupportedControl(control);
}

bool DDCDisplayDriver::writeScaled(const std::string& key, std::uint8_t code,
                                   const std::map<std::string, std::uint16_t>& maxima, double value) {
    auto it = maxima.find(key);
    const std::uint16_t max = it == maxima.end() ? 100 : it->second;
    return setVCP(avService_, channel(key), code, scaled(value, max));
}

Task<double> DDCDisplayDriver::readValue(DisplayControl control, ManagedDisplay display) {
    if (control != DisplayControl::brightness)
        throw DisplayDriverError::unsupportedControl(control);
    const std::string key = display.identity.stableKey();
    // Read a moment ago, with the probe: asking again would only cost the bus another read.
    if (unreadProbeBrightness_.erase(key) && channel(key))
        co_return brightnessCurrent_.at(key);
    if (AVServiceHandle handle = channel(key)) {
        if (auto reading = co_await readFeature(key, handle, ddc::brightness, true)) {
            brightnessMax_[key] = reading->max;
            co_return fractionOf(*reading);
        }
    }
    if (displayServicesSet_.count(key) && displayServices_.getBrightness) {
        float b = 1.0f;
        displayServices_.getBrightness(display.identity.cgID, b);
        co_return b <= 0 ? 0.0 : std::min<double>(b, 1.0);
    }
    throw DisplayDriverError::notImplemented();
}

Task<std::optional<VCPReading>> DDCDisplayDriver::readFeature(std::string key, AVServiceHandle handle,
                                                              std::uint8_t code, bool patient) {
    auto known = replyWaits_.find(key);
    const int start = known == replyWaits_.end() ? 1 : known->second;
    if (!patient) {
        VCPRead plain = co_await readVCP(avService_, handle, code, start);
        co_return plain.reading;
    }
    PatientRead read = co_await readVCPPatiently(avService_, handle, code, start);
    // What a monitor needs does not change when it leaves: kept by key, whatever happened meanwhile.
    if (read.reading && read.waitScale != start) {
        logInfo(ddcLog, "DDC: {} answers with {}× the usual waits; later reads start there", key,
                read.waitScale);
        setReplyWaitScale(key, read.waitScale);
    }
    co_return read.reading;
}

void DDCDisplayDriver::setReplyWaitScale(const std::string& key, int scale) {
    if (std::find(std::begin(brivio::replyWaitScales), std::end(brivio::replyWaitScales), scale) ==
        std::end(brivio::replyWaitScales))
        return;
    auto it = replyWaits_.find(key);
    if (it != replyWaits_.end() && it->second == scale)
        return;
    replyWaits_[key] = scale;
    if (onReplyWaitLearned)
        onReplyWaitLearned(key, scale);
}

DDCChannelProblem DDCDisplayDriver::channelProblem(const std::string& key) const {
    auto it = channelProblems_.find(key);
    return it == channelProblems_.end() ? DDCChannelProblem::none : it->second;
}

std::optional<double> DDCDisplayDriver::probedBrightness(const std::string& key) const {
    auto it = brightnessCurrent_.find(key);
    if (it == brightnessCurrent_.end())
        return std::nullopt;
    return it->second;
}

void DDCDisplayDriver::evict(const std::string& key) {
    topology_.reset();
    capabilities_.erase(key);
    channelProblems_.erase(key);
    brightnessCurrent_.erase(key);
    unreadProbeBrightness_.erase(key);
    brightnessMax_.erase(key);
    contrastMax_.erase(key);
    volumeMax_.erase(key);
    inputSource_.erase(key);
    displayServicesSet_.erase(key);
    channels_.erase(key);
    channelServiceIDs_.erase(key);
    if (auto it = serviceIDByDisplay_.find(key); it != serviceIDByDisplay_.end()) {
        claimedServiceIDs_.erase(it->second);
        serviceIDByDisplay_.erase(it);
    }
}

void DDCDisplayDriver::invalidateTopology() {
    topology_.reset();
    claimedServiceIDs_.clear();
    serviceIDByDisplay_.clear();
    std::erase_if(capabilities_, [this](const auto& entry) {
        return !channels_.count(entry.first) && !displayServicesSet_.count(entry.first);
    });
}

void DDCDisplayDriver::forgetChannelCapabilities() {
    for (const auto& entry : channels_)
        capabilities_.erase(entry.first);
}

std::optional<std::uint8_t> DDCDisplayDriver::cachedInputSource(const std::string& key) const {
    auto it = inputSource_.find(key);
    if (it == inputSource_.end())
        return std::nullopt;
    return it->second;
}

Task<std::optional<std::uint8_t>> DDCDisplayDriver::inputSource(ManagedDisplay display) {
    const std::string key = display.identity.stableKey();
    if (auto cached = cachedInputSource(key))
        co_return cached;
    const AVServiceHandle handle = channel(key);
    if (!handle)
        co_return std::nullopt;
    std::optional<VCPReading> reading = co_await readFeature(key, handle, ddc::inputSelect, false);
    if (!reading)
        co_return std::nullopt;
    // Some monitors put a flag in the high byte; the input is the low one.
    const auto value = static_cast<std::uint8_t>(reading->current & 0xFF);
    // The display may have left while the read waited on the bus; a cache entry would outlive it.
    if (channel(key) == handle)
        inputSource_[key] = value;
    co_return value;
}

bool DDCDisplayDriver::setInputSource(std::uint8_t value, const ManagedDisplay& display) {
    const std::string key = display.identity.stableKey();
    const AVServiceHandle handle = channel(key);
    if (!handle || !setVCP(avService_, handle, ddc::inputSelect, value))
        return false;
    inputSource_[key] = value;
    return true;
}

namespace {

// Free of the driver: the wait between the writes must not stop the second one, and the driver may
// be gone by then.
Task<bool> powerOffSequence(AVServiceSymbols symbols, AVServiceHandle handle) {
    constexpr std::uint16_t powerOffMode = 5;
    setVCP(symbols, handle, ddc::powerMode, powerOffMode);
    co_await sleepThrough(DDCDisplayDriver::powerOffRepeat);
    co_return setVCP(symbols, handle, ddc::powerMode, powerOffMode);
}

} // namespace

Task<bool> DDCDisplayDriver::powerOff(ManagedDisplay display, PowerOffConfirmed) {
    // A built-in panel is the machine's own screen; nothing turns it back on from here.
    if (display.isBuiltIn)
        co_return false;
    AVServiceHandle handle = channel(display.identity.stableKey());
    if (!handle)
        co_return false;
    co_return co_await powerOffSequence(avService_, std::move(handle));
}

AVServiceHandle DDCDisplayDriver::channel(const std::string& key) const {
    auto it = channels_.find(key);
    return it == channels_.end() ? nullptr : it->second;
}

} // namespace brivio
