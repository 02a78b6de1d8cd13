#include "core/DisplayController.h"

#include "base/Log.h"
#include "model/DisplayName.h"

#include <algorithm>
#include <cmath>

namespace brivio {

namespace {

double clampUnit(double v) {
    return std::clamp(v, 0.0, 1.0);
}
double seconds(Duration d) {
    return std::chrono::duration<double>(d).count();
}

// Slot names in the task table: one task per display and purpose.
const std::string controllerSlot;
constexpr const char* enumerateTask = "enumerate";
constexpr const char* reenumerateTask = "reenumerate";
constexpr const char* delayedProbeTask = "delayedProbe";
constexpr const char* pollingTask = "poll";
constexpr const char* nativeDrainTask = "nativeDrain";

std::optional<double> lookup(const std::map<std::string, double>& map, const std::string& key) {
    auto it = map.find(key);
    if (it == map.end())
        return std::nullopt;
    return it->second;
}

// Built-in first, then by stable key. A named function: g++ 12 loses lambdas defined in coroutines.
TopologyClasses topologyClasses(const PlatformServiceClasses& published) {
    if (published.serviceClasses.empty())
        return TopologyClasses{};
    return TopologyClasses{published.serviceClasses, published.preferredOrder, published.withoutPowerOff,
                           published.nameServiceClass};
}

bool displayOrder(const ManagedDisplay& a, const ManagedDisplay& b) {
    if (a.isBuiltIn != b.isBuiltIn)
        return a.isBuiltIn;
    return a.identity.stableKey() < b.identity.stableKey();
}

} // namespace

DisplayController::DisplayController(Platform& platform, BrivioPreferences& preferences,
                                     LocationManager* location)
    : platform_(platform), preferences_(preferences),
      ddcDriver_(platform.windowServer, platform.registry, platform.avService, platform.displayServices,
                 topologyClasses(platform.serviceClasses)),
      nativeDriver_(platform.displayServices), overlayDriver_(platform.windowServer, platform.windowSystem),
      gammaDriver_(platform.loop, platform.windowServer), hud_(platform.indicator), location_(location),
      tasks_(platform.loop) {
    if (!location_) {
        ownLocation_ = std::make_unique<LocationManager>(platform.location, preferences);
        location_ = ownLocation_.get();
    }
    // No scaled table from an earlier run may stay in force.
    platform_.windowServer.restoreColorSyncSettings();

    // Slow monitors start at the waits that worked for them last time.
    for (const auto& [key, scale] : preferences_.ddcReplyWaitByDisplay())
        ddcDriver_.setReplyWaitScale(key, static_cast<int>(scale));
    ddcDriver_.onReplyWaitLearned = [this](const std::string& key, int scale) {
        preferences_.setDDCReplyWait(key, scale);
    };

    auto self = weak_.weak();
    MainLoop& loop = platform_.loop;
    reconfigurationCallback_ = platform_.windowServer.registerReconfigurationCallback(
        [self, &loop](DisplayNumber, std::uint32_t flags) {
            using namespace ReconfigurationFlags;
            if ((flags & (add | remove | enabled)) == 0)
                return;
            bool retry = (flags & (add | enabled)) != 0;
            loop.post([self, retry] {
                if (auto* c = self.get())
                    c->scheduleImmediateReenumerate(retry);
            });
        });
    screenParameters_ = platform_.windowSystem.screenParametersChanged().subscribe([self, &loop] {
        loop.post([self] {
            if (auto* c = self.get())
                c->scheduleImmediateReenumerate(false);
        });
    });
    externalSettings_ = preferences_.changedElsewhere.subscribe(
        [this](const BrivioPreferences::ExternalChange& change) { followExternalChange(change); });
    tasks_.start(controllerSlot, enumerateTask, enumerate(), weak_.token());
}

DisplayController::~DisplayController() {
    if (reconfigurationCallback_ >= 0)
        platform_.windowServer.unregisterReconfigurationCallback(reconfigurationCallback_);
    screenParameters_.reset();
    externalSettings_.reset();
    if (!shutDown_)
        shutdown();
}

std::string DisplayController::animationPurpose(DisplayControl control) {
    return std::string("animate.") + std::string(toString(control));
}

// MARK: - Enumeration

std::string DisplayController::displayName(DisplayNumber id, bool isBuiltIn) {
    std::optional<std::string> screenName;
    if (!isBuiltIn)
        if (auto screen = platform_.windowSystem.screenFor(id); screen && !screen->localizedName.empty())
            screenName = screen->localizedName;
    std::vector<std::vector<std::uint8_t>> edids;
    if (!isBuiltIn && !screenName) {
        auto listing = platform_.registry.matchingServices(ddcDriver_.classes().nameServiceClass);
        if (listing.result == 0)
            for (auto& service : listing.services)
                if (auto edid = platform_.registry.searchPropertyWithParents(service, "EDID"))
                    if (auto* bytes = edid->asBytes())
                        edids.push_back(*bytes);
    }
    return resolveDisplayName(isBuiltIn, screenName, edids, platform_.windowServer.vendorNumber(id),
                              platform_.windowServer.modelNumber(id), id);
}

ManagedDisplay DisplayController::buildDisplay(DisplayNumber id) {
    WindowServer& ws = platform_.windowServer;
    ManagedDisplay display;
    display.isBuiltIn = ws.isBuiltin(id);
    display.identity.cgID = id;
    display.identity.vendorID = ws.vendorNumber(id);
    display.identity.productID = ws.modelNumber(id);
    display.identity.serial = ws.serialNumber(id);
    display.identity.modelName = displayName(id, display.isBuiltIn);
    display.identity.unitNumber = ws.unitNumber(id);
    // Shown like this until the probe answers.
    display.capabilities.supportsOverlayDimming = true;
    display.capabilities.hardwareBrightnessFallbackReason = FallbackReason::probing;
    return display;
}

Task<void> DisplayController::probeInto(ManagedDisplay& display) {
    DisplayCapabilities probed;
    if (display.isBuiltIn) {
        probed = co_await nativeDriver_.probeCapabilities(display);
    } else {
        auto key = display.identity.stableKey();
        probed = co_await ddcDriver_.probeCapabilities(display);
        ddcDriver_.probingKeys().erase(key);
    }
    if (probed.supportsHardwareBrightness) {
        display.capabilities = probed;
    } else {
        DisplayCapabilities soft;
        soft.supportsOverlayDimming = true;
        soft.hardwareBrightnessFallbackReason =
            probed.hardwareBrightnessFallbackReason.value_or(FallbackReason::noDDC);
        display.capabilities = soft;
    }
    noteSoftwarePaths(display);
}

void DisplayController::noteSoftwarePaths(ManagedDisplay& display) {
    auto& caps = display.capabilities;
    DisplayNumber n = display.identity.cgID;
    auto overlay = platform_.windowSystem.overlayUnavailable(n);
    // The gamma dimmer leaves the built-in panel alone by design: no reason to tell.
    auto gamma =
        display.isBuiltIn ? std::optional<std::string>("") : platform_.windowServer.gammaUnavailable(n);
    caps.supportsOverlayDimming = caps.supportsOverlayDimming && !overlay;
    caps.supportsGammaDimming = !gamma;
    caps.softwareDimmingUnavailable.reset();
    if (overlay && gamma)
        caps.softwareDimmingUnavailable = gamma->empty() ? *overlay : *overlay + "; " + *gamma;
}

Task<void> DisplayController::enumerate() {
    std::vector<DisplayNumber> active =
        platform_.windowServer.activeDisplays().value_or(std::vector<DisplayNumber>{});
    if (active.size() > WindowServer::maxDisplays)
        active.resize(WindowServer::maxDisplays);

    for (auto& old : displays_) {
        if (std::find(active.begin(), active.end(), old.identity.cgID) != active.end())
            continue;
        logInfo(LogCategory::detection, "DDC cache evicted for {} — display left active list",
                old.identity.modelName);
        ddcDriver_.evict(old.identity.stableKey());
    }
    ddcDriver_.invalidateTopology();

    std::vector<ManagedDisplay> found;
    for (DisplayNumber id : active)
        found.push_back(buildDisplay(id));
    std::optional<std::set<std::string>> selected;
    if (probeSelection_) {
        auto ordered = found;
        std::stable_sort(ordered.begin(), ordered.end(), displayOrder);
        selected = probeSelection_(ordered);
    }
    std::set<std::string> unprobed;
    for (auto& display : found) {
        auto key = display.identity.stableKey();
        if (selected && !selected->count(key)) {
            unprobed.insert(key);
            continue;
        }
        if (!display.isBuiltIn) {
            // A walk cut short here is finished once the probe has ended.
            if (auto it = ddcAnimators_.find(key); it != ddcAnimators_.end() && it->second->running())
                holdDDCValue(key, DisplayControl::brightness, it->second->target(), it->second->current());
            cancelAnimators(key);
            tasks_.cancel(key, animationPurpose(DisplayControl::contrast));
            tasks_.cancel(key, animationPurpose(DisplayControl::volume));
            ddcDriver_.probingKeys().insert(key);
        }
        co_await probeInto(display);
    }
    std::stable_sort(found.begin(), found.end(), displayOrder);

    std::set<std::string> oldKeys;
    for (auto& d : displays_)
        oldKeys.insert(d.identity.stableKey());
    std::set<std::string> newKeys;
    for (auto& d : found)
        newKeys.insert(d.identity.stableKey());
    for (auto& key : oldKeys) {
        if (newKeys.count(key))
            continue;
        cancelAnimators(key);
        // A running animation would bring the display's overlay window back; its end value is still
        // what was asked for.
        for (DisplayControl control :
             {DisplayControl::brightness, DisplayControl::contrast, DisplayControl::volume}) {
            auto purpose = animationPurpose(control);
            if (auto end = animationEnds_.find({key, control});
                end != animationEnds_.end() && tasks_.running(key, purpose))
                persist(control, key, end->second);
            tasks_.cancel(key, purpose);
        }
        heldDDCValues_.erase(key);
        overlayFallbackKeys_.erase(key);
        overlayDriver_.removeWindow(key);
        gammaDriver_.restore(key);
        if (preferences_.syncLeaderKey() == key)
            preferences_.setSyncLeaderKey(std::nullopt);
    }

    for (auto& display : found)
        if (!unprobed.count(display.identity.stableKey()))
            co_await restoreDimming(display, oldKeys.count(display.identity.stableKey()) != 0);

    for (auto& display : found)
        if (!display.isBuiltIn)
            resumeHeldDDCValues(display);

    for (auto& display : found) {
        if (display.isBuiltIn || unprobed.count(display.identity.stableKey()))
            continue;
        auto key = display.identity.stableKey();
        if (display.capabilities.supportsHardwareContrast)
            if (auto c = lookup(ddcDriver_.ddcContrastCurrentCache(), key))
                preferences_.setContrast(key, *c);
        if (display.capabilities.supportsHardwareVolume)
            if (auto v = lookup(ddcDriver_.ddcVolumeCurrentCache(), key))
                preferences_.setVolume(key, *v);
    }

    std::size_t count = found.size();
    publish(std::move(found));
    ++enumerationCount_;
    logInfo(LogCategory::detection, "Enumerated {} display(s)", count);
    startPolling();

    if (isFirstEnumeration_ && count > 0) {
        isFirstEnumeration_ = false;
        // Nothing is evaluated now: the first look comes at the next minute boundary, so schedules
        // whose moment lies before this launch do not fire.
        scheduleEngine_ = std::make_unique<ScheduleEngine>(platform_.loop, platform_.clock, *this,
                                                           preferences_, *location_);
        scheduleEngine_->begin();
        firstDisplaysFound_.emit();
    }
}

Task<void> DisplayController::restoreDimming(const ManagedDisplay& d, bool known) {
    auto key = d.identity.stableKey();
    overlayDriver_.ensureWindow(d);
    auto stored = remembered(DisplayControl::brightness, key);
    if (!d.capabilities.supportsHardwareBrightness) {
        // Tables that cannot be read leave the overlay to dim the display.
        if (softwareDimsByGamma(d) && gammaDriver_.attach(d)) {
            overlayDriver_.refresh(d, 1.0);
            gammaDriver_.apply(d, stored);
        } else {
            gammaDriver_.resetToFull(key);
            overlayDriver_.refresh(d, stored);
        }
        co_return;
    }
    if (!stored || (!d.isBuiltIn && !known)) {
        try {
            DisplayDriver& driver = d.isBuiltIn ? static_cast<DisplayDriver&>(nativeDriver_) : ddcDriver_;
            double value = co_await driver.readValue(DisplayControl::brightness, d);
            preferences_.setBrightness(key, value);
        } catch (const DisplayDriverError&) {
            // Nothing read, nothing stored: the remembered value stays as it was.
        }
    }
    double b = remembered(DisplayControl::brightness, key).value_or(1.0);
    overlayFallbackKeys_.erase(key);
    if (d.isBuiltIn) {
        overlayDriver_.refresh(d, 1.0);
    } else if (extendedDimmingOn(key)) {
        gammaDriver_.attach(d);
        gammaDriver_.setFactorNow(key, extendedDimmingShare(b));
    } else {
        overlayDriver_.refresh(d, 1.0);
    }
}

void DisplayController::publish(std::vector<ManagedDisplay> displays) {
    displays_ = std::move(displays);
    displaysChanged_.emit();
}

void DisplayController::setWarmingUp(std::set<std::string> keys) {
    if (keys == warmingUpKeys_)
        return;
    warmingUpKeys_ = std::move(keys);
    warmingUpKeysChanged_.emit();
}

void DisplayController::scheduleImmediateReenumerate(bool retry) {
    pendingDelayedRetry_ = pendingDelayedRetry_ || retry;
    tasks_.start(controllerSlot, reenumerateTask, enumerateSoon(weak_.weak()), weak_.token());
}

Task<void> DisplayController::enumerateSoon(WeakPtr<DisplayController> self) {
    co_await sleep(reenumerateDebounce);
    co_await self->enumerate();
    if (self->pendingDelayedRetry_) {
        self->pendingDelayedRetry_ = false;
        self->scheduleDelayedDDCProbe();
    }
}

void DisplayController::scheduleDelayedDDCProbe() {
    tasks_.cancel(controllerSlot, delayedProbeTask);
    std::set<std::string> keys;
    for (auto& d : displays_)
        if (!d.isBuiltIn && !d.capabilities.supportsHardwareBrightness)
            keys.insert(d.identity.stableKey());
    setWarmingUp(std::move(keys));
    tasks_.start(controllerSlot, delayedProbeTask, delayedProbe(weak_.weak()), weak_.token());
}

Task<void> DisplayController::delayedProbe(WeakPtr<DisplayController> self) {
    co_await sleep(delayedProbeFirst);
    self->ddcDriver_.forgetChannelCapabilities();
    co_await self->enumerate();
    auto keys = self->warmingUpKeys_;
    for (auto& d : self->displays_)
        if (d.capabilities.supportsHardwareBrightness)
            keys.erase(d.identity.stableKey());
    self->setWarmingUp(std::move(keys));
    co_await sleep(delayedProbeSecond);
    self->ddcDriver_.forgetChannelCapabilities();
    co_await self->enumerate();
    self->setWarmingUp({});
}

// MARK: - Polling of the built-in display

void DisplayController::startPolling() {
    tasks_.start(controllerSlot, pollingTask, pollLoop(weak_.weak()), weak_.token());
}

Task<void> DisplayController::pollLoop(WeakPtr<DisplayController> self) {
    for (;;) {
        co_await backgroundSleep(pollInterval);
        self->pollOnce();
    }
}

void DisplayController::pollOnce() {
    for (auto& d : displays_) {
        if (!d.isBuiltIn || !d.capabilities.supportsHardwareBrightness)
            continue;
        auto key = d.identity.stableKey();
        float reading = 1.0f;
        auto& getter = platform_.displayServices.getBrightness;
        // A read that failed says nothing about the panel: it must not move the remembered value (nor,
        // through a leader, every other display) to full brightness.
        if (!getter || getter(d.identity.cgID, reading) != 0 || std::isnan(reading))
            continue;
        double polled = clampUnit(reading);
        auto stored = remembered(DisplayControl::brightness, key);
        if (!stored || std::fabs(polled - *stored) <= 0.01)
            continue;
        // Changed outside the application (the keyboard's brightness keys, for instance).
        double from = *stored;
        ManagedDisplay display = d;
        startValueAnimation(display, DisplayControl::brightness, from, polled, pollAnimation, nullptr);
        if (preferences_.syncLeaderKey() == key)
            followLeader(key, polled, pollAnimation);
    }
}

void DisplayController::followLeader(const std::string& leaderKey, double value, Duration duration) {
    auto followers = displays_;
    for (auto& other : followers)
        if (other.identity.stableKey() != leaderKey)
            applyBrightness(other, value, true, duration);
}

// MARK: - Shutdown

void DisplayController::shutdown() {
    shutDown_ = true;
    // No schedule may fire into displays that are being put back.
    scheduleEngine_.reset();
    tasks_.cancel(controllerSlot, pollingTask);
    tasks_.cancel(controllerSlot, reenumerateTask);
    tasks_.cancel(controllerSlot, delayedProbeTask);
    for (auto* map : {&ddcAnimators_, &contrastDDCAnimators_, &volumeDDCAnimators_}) {
        for (auto& [key, animator] : *map)
            animator->cancel();
        map->clear();
    }
    tasks_.cancelAll();
    overlayDriver_.removeAllWindows();
    gammaDriver_.restoreAll();
}

// MARK: - Routing

double DisplayController::extendedDimmingShare(double value) {
    double f = value < 0.2 ? value / 0.2 : 1.0;
    return clampUnit(f);
}

bool DisplayController::extendedDimmingOn(const std::string& key) const {
    auto& flags = preferences_.externalOverlayDimmingByDisplay();
    auto it = flags.find(key);
    return it != flags.end() && it->second;
}

bool DisplayController::softwareDimsByGamma(const ManagedDisplay& d) const {
    const auto& caps = d.capabilities;
    // Where no overlay can dim, gamma is the only software path left; where neither can, nothing is
    // drawn (an overlay that cannot dim would black the display out or cover the wrong place).
    if (!caps.supportsOverlayDimming)
        return caps.supportsGammaDimming;
    return !d.isBuiltIn && extendedDimmingOn(d.identity.stableKey()) && caps.supportsGammaDimming;
}

void DisplayController::applyOverlayLevel(const ManagedDisplay& display, double v) {
    overlayDriver_.setBrightness(display, v);
}

void DisplayController::applyGammaLevel(const ManagedDisplay& display, double f) {
    gammaDriver_.attach(display);
    gammaDriver_.setFactorNow(display.identity.stableKey(), f);
}

const ManagedDisplay* DisplayController::displayWithID(DisplayNumber cgID) const {
    for (auto& d : displays_)
        if (d.identity.cgID == cgID)
            return &d;
    return nullptr;
}

const ManagedDisplay* DisplayController::displayWithKey(const std::string& key) const {
    for (auto& d : displays_)
        if (d.identity.stableKey() == key)
            return &d;
    return nullptr;
}

void DisplayController::applyBrightness(const ManagedDisplay& d, double value, bool animated,
                                        Duration duration) {
    double v = clampUnit(value);
    auto key = d.identity.stableKey();
    double from = remembered(DisplayControl::brightness, key).value_or(v);
    tasks_.cancel(key, animationPurpose(DisplayControl::brightness));

    if (!d.capabilities.supportsHardwareBrightness) {
        bool gamma = softwareDimsByGamma(d) && gammaDriver_.attach(d);
        auto self = weak_.weak();
        StepFunction step = [self, d, gamma](double u) {
            if (auto* c = self.get())
                gamma ? c->applyGammaLevel(d, u) : c->applyOverlayLevel(d, u);
        };
        if (!animated) {
            preferences_.setBrightness(key, v);
            step(v);
        } else {
            startValueAnimation(d, DisplayControl::brightness, from, v, duration, step);
        }
        return;
    }
    if (d.isBuiltIn) {
        if (!animated) {
            preferences_.setBrightness(key, v);
            nativeWrite(d, v);
        } else {
            auto self = weak_.weak();
            startValueAnimation(d, DisplayControl::brightness, from, v, duration, [self, d](double u) {
                if (auto* c = self.get())
                    c->nativeWrite(d, u);
            });
        }
        return;
    }
    if (!animated) {
        preferences_.setBrightness(key, v);
        if (extendedDimmingOn(key))
            applyGammaLevel(d, extendedDimmingShare(v));
    } else {
        auto self = weak_.weak();
        startValueAnimation(d, DisplayControl::brightness, from, v, duration, [self, d, key](double u) {
            if (auto* c = self.get(); c && c->extendedDimmingOn(key))
                c->applyGammaLevel(d, extendedDimmingShare(u));
        });
    }
    animator(d, DisplayControl::brightness, v).setTarget(v);
}

void DisplayController::setAllBrightness(double value) {
    auto displays = displays_;
    for (auto& d : displays)
        applyBrightness(d, value, true, 1500ms);
}

void DisplayController::nativeWrite(const ManagedDisplay& display, double v) {
    auto key = display.identity.stableKey();
    nativePendingValues_[key] = v;
    if (tasks_.running(key, nativeDrainTask))
        return;
    tasks_.start(key, nativeDrainTask, drainNative(weak_.weak(), display), weak_.token());
}

Task<void> DisplayController::drainNative(WeakPtr<DisplayController> self, ManagedDisplay display) {
    auto key = display.identity.stableKey();
    for (;;) {
        auto it = self->nativePendingValues_.find(key);
        if (it == self->nativePendingValues_.end())
            co_return;
        double value = clampUnit(it->second);
        self->nativePendingValues_.erase(it);
        self->nativeDriver_.writeBrightness(display.identity.cgID, value);
        // Let newer values arrive; only the latest is written next.
        co_await yieldNow();
    }
}

Duration DisplayController::frameInterval(DisplayNumber cgID) {
    int fps = 60;
    if (auto screen = platform_.windowSystem.screenFor(cgID); screen && screen->maximumFramesPerSecond > 0)
        fps = screen->maximumFramesPerSecond;
    return std::chrono::nanoseconds(1'000'000'000LL / fps);
}

void DisplayController::startValueAnimation(const ManagedDisplay& display, DisplayControl control,
                                            double from, double to, Duration duration, StepFunction step) {
    auto key = display.identity.stableKey();
    animationEnds_[{key, control}] = to;
    tasks_.start(key, animationPurpose(control),
                 valueAnimation(weak_.weak(), display, control, from, to, duration, std::move(step)),
                 weak_.token());
}

Task<void> DisplayController::valueAnimation(WeakPtr<DisplayController> self, ManagedDisplay display,
                                             DisplayControl control, double from, double to,
                                             Duration duration, StepFunction step) {
    auto key = display.identity.stableKey();
    TimePoint start = self->platform_.loop.now();
    Duration frame = self->frameInterval(display.identity.cgID);
    for (;;) {
        double elapsed = seconds(self->platform_.loop.now() - start);
        double t = duration > Duration::zero() ? std::min(elapsed / seconds(duration), 1.0) : 1.0;
        double value = clampUnit(from + (to - from) * t * t * (3 - 2 * t));
        self->setInMemory(control, key, value);
        if (step)
            step(value);
        if (t >= 1)
            break;
        co_await sleep(frame);
    }
    self->persist(control, key, to);
}

DisplayController::AnimatorMap& DisplayController::animatorsFor(DisplayControl control) {
    switch (control) {
    case DisplayControl::contrast:
        return contrastDDCAnimators_;
    case DisplayControl::volume:
        return volumeDDCAnimators_;
    default:
        return ddcAnimators_;
    }
}

bool DisplayController::hasAnimator(const std::string& key, DisplayControl control) const {
    return const_cast<DisplayController*>(this)->animatorsFor(control).count(key) != 0;
}

DDCAnimator& DisplayController::animator(const ManagedDisplay& display, DisplayControl control,
                                         double initial) {
    auto& map = animatorsFor(control);
    auto key = display.identity.stableKey();
    auto it = map.find(key);
    if (it == map.end()) {
        auto self = weak_.weak();
        auto write = [self, display, control](double u) { return writeDDC(self, display, control, u); };
        it = map.emplace(key, DDCAnimator::create(platform_.loop, initial, write, weak_.token())).first;
    }
    return *it->second;
}

Task<void> DisplayController::writeDDC(WeakPtr<DisplayController> self, ManagedDisplay display,
                                       DisplayControl control, double value) {
    auto* c = self.get();
    if (!c)
        co_return;
    const auto key = display.identity.stableKey();
    // The driver drops writes while it probes the display; the last one asked for is sent after.
    if (c->ddcDriver_.probingKeys().count(key)) {
        c->holdDDCValue(key, control, value, value);
        co_return;
    }
    try {
        co_await c->ddcDriver_.writeValue(value, control, display);
        // The monitor took the value: an overlay standing in for an earlier failed write would now
        // dim it a second time.
        auto* still = self.get();
        if (still && control == DisplayControl::brightness && still->overlayFallbackKeys_.erase(key))
            still->overlayDriver_.setBrightness(display, 1.0);
    } catch (const DisplayDriverError& error) {
        // The task may have outlived the controller while the write was pending.
        auto* still = self.get();
        if (!still)
            co_return;
        if (control == DisplayControl::brightness) {
            logError(LogCategory::controller, "DDC set failed: {}", error.what());
            still->overlayFallbackKeys_.insert(key);
            still->overlayDriver_.setBrightness(display, value);
        } else if (control == DisplayControl::contrast) {
            logError(LogCategory::controller, "DDC contrast set failed for {}: {}",
                     display.identity.modelName, error.what());
        }
    }
}

void DisplayController::holdDDCValue(const std::string& key, DisplayControl control, double target,
                                     double from) {
    auto& held = heldDDCValues_[key];
    auto it = held.find(control);
    // The walk goes on from where the monitor was left, towards the latest value.
    held[control] = HeldDDCValue{target, it == held.end() ? from : it->second.from};
}

void DisplayController::resumeHeldDDCValues(const ManagedDisplay& display) {
    auto key = display.identity.stableKey();
    auto it = heldDDCValues_.find(key);
    // Another enumeration may be probing the display again; it resumes them when it is done.
    if (it == heldDDCValues_.end() || ddcDriver_.probingKeys().count(key))
        return;
    auto held = std::move(it->second);
    heldDDCValues_.erase(it);
    const DisplayCapabilities& caps = display.capabilities;
    for (const auto& [control, value] : held) {
        bool supported = (control == DisplayControl::brightness && caps.supportsHardwareBrightness) ||
                         (control == DisplayControl::contrast && caps.supportsHardwareContrast) ||
                         (control == DisplayControl::volume && caps.supportsHardwareVolume);
        if (!supported)
            continue;
        // An animator asked for during the probe holds the latest value: a walk still under way gets
        // there by itself, a finished one sends its value again.
        auto& animators = animatorsFor(control);
        if (auto it = animators.find(key); it != animators.end()) {
            if (!it->second->running())
                it->second->setTarget(it->second->target());
            continue;
        }
        animator(display, control, value.from).setTarget(value.target);
    }
}

void DisplayController::cancelAnimators(const std::string& key) {
    for (auto* map : {&ddcAnimators_, &contrastDDCAnimators_, &volumeDDCAnimators_}) {
        if (auto it = map->find(key); it != map->end()) {
            it->second->cancel();
            map->erase(it);
        }
    }
}

void DisplayController::setInMemory(DisplayControl control, const std::string& key, double value) {
    switch (control) {
    case DisplayControl::brightness:
        preferences_.setBrightnessInMemory(key, value);
        break;
    case DisplayControl::contrast:
        preferences_.setContrastInMemory(key, value);
        break;
    case DisplayControl::volume:
        preferences_.setVolumeInMemory(key, value);
        break;
    case DisplayControl::mute:
        break;
    }
}

void DisplayController::persist(DisplayControl control, const std::string& key, double value) {
    switch (control) {
    case DisplayControl::brightness:
        preferences_.setBrightness(key, value);
        break;
    case DisplayControl::contrast:
        preferences_.setContrast(key, value);
        break;
    case DisplayControl::volume:
        preferences_.setVolume(key, value);
        break;
    case DisplayControl::mute:
        break;
    }
}

std::optional<double> DisplayController::remembered(DisplayControl control, const std::string& key) const {
    const std::map<std::string, double>* map = nullptr;
    switch (control) {
    case DisplayControl::brightness:
        map = &preferences_.brightnessByDisplay();
        break;
    case DisplayControl::contrast:
        map = &preferences_.contrastByDisplay();
        break;
    case DisplayControl::volume:
        map = &preferences_.volumeByDisplay();
        break;
    case DisplayControl::mute:
        return std::nullopt;
    }
    auto it = map->find(key);
    if (it == map->end())
        return std::nullopt;
    return it->second;
}

void DisplayController::setDisplayContrast(double value, DisplayNumber cgID) {
    const ManagedDisplay* found = displayWithID(cgID);
    if (!found || found->isBuiltIn || !found->capabilities.supportsHardwareContrast)
        return;
    ManagedDisplay d = *found;
    double v = clampUnit(value);
    auto key = d.identity.stableKey();
    preferences_.setActivePresetID(std::nullopt);
    tasks_.cancel(key, animationPurpose(DisplayControl::contrast));
    preferences_.setContrast(key, v);
    animator(d, DisplayControl::contrast, v).setTarget(v);
}

void DisplayController::setDisplayVolume(double value, DisplayNumber cgID) {
    const ManagedDisplay* found = displayWithID(cgID);
    if (!found || found->isBuiltIn || !found->capabilities.supportsHardwareVolume)
        return;
    ManagedDisplay d = *found;
    double v = clampUnit(value);
    auto key = d.identity.stableKey();
    preferences_.setActivePresetID(std::nullopt);
    tasks_.cancel(key, animationPurpose(DisplayControl::volume));
    preferences_.setVolume(key, v);
    animator(d, DisplayControl::volume, v).setTarget(v);
}

void DisplayController::animateContrast(const ManagedDisplay& d, double value, Duration duration) {
    if (d.isBuiltIn || !d.capabilities.supportsHardwareContrast)
        return;
    double v = clampUnit(value);
    auto key = d.identity.stableKey();
    double from = remembered(DisplayControl::contrast, key).value_or(0.75);
    startValueAnimation(d, DisplayControl::contrast, from, v, duration, nullptr);
    animator(d, DisplayControl::contrast, v).setTarget(v);
}

void DisplayController::animateVolume(const ManagedDisplay& d, double value, Duration duration) {
    if (d.isBuiltIn || !d.capabilities.supportsHardwareVolume)
        return;
    double v = clampUnit(value);
    auto key = d.identity.stableKey();
    double from = remembered(DisplayControl::volume, key).value_or(0.5);
    startValueAnimation(d, DisplayControl::volume, from, v, duration, nullptr);
    animator(d, DisplayControl::volume, v).setTarget(v);
}

void DisplayController::setExtendedDimming(bool enabled, DisplayNumber cgID) {
    const ManagedDisplay* found = displayWithID(cgID);
    if (!found || found->isBuiltIn)
        return;
    ManagedDisplay d = *found;
    auto key = d.identity.stableKey();
    preferences_.setExternalOverlayDimming(key, enabled);
    double b = remembered(DisplayControl::brightness, key).value_or(1.0);
    auto fadeTo = [&](double share) {
        float target = GammaDimDriver::factorFor(share);
        gammaDriver_.fade(key, target);
    };
    if (!d.capabilities.supportsHardwareBrightness) {
        // Without an overlay that can dim, gamma (where there is any) dims the display either way.
        if (!d.capabilities.supportsOverlayDimming)
            return;
        if (enabled) {
            // Tables that cannot be read: the overlay goes on dimming the display.
            if (!gammaDriver_.attach(d))
                return;
            overlayDriver_.setBrightness(d, 1.0, true);
            gammaDriver_.setCachedBrightness(key, clampUnit(b));
            fadeTo(clampUnit(b));
        } else {
            gammaDriver_.setCachedBrightness(key, 1.0);
            gammaDriver_.release(key);
            overlayDriver_.setBrightness(d, clampUnit(b), true);
        }
        return;
    }
    if (enabled) {
        gammaDriver_.attach(d);
        double share = extendedDimmingShare(b);
        gammaDriver_.setCachedBrightness(key, share);
        fadeTo(share);
    } else {
        gammaDriver_.setCachedBrightness(key, 1.0);
        gammaDriver_.release(key);
    }
}

void DisplayController::seedContrastAndVolume(DisplayNumber cgID) {
    const ManagedDisplay* d = displayWithID(cgID);
    if (!d || d->isBuiltIn)
        return;
    auto key = d->identity.stableKey();
    if (d->capabilities.supportsHardwareContrast && !remembered(DisplayControl::contrast, key))
        if (auto c = lookup(ddcDriver_.ddcContrastCurrentCache(), key))
            preferences_.setContrast(key, *c);
    if (d->capabilities.supportsHardwareVolume && !remembered(DisplayControl::volume, key))
        if (auto v = lookup(ddcDriver_.ddcVolumeCurrentCache(), key))
            preferences_.setVolume(key, *v);
}

} // namespace brivio
