#include "drivers/GammaDimDriver.h"

#include "base/Log.h"

#include <algorithm>
#include <cmath>

namespace brivio {

float GammaDimDriver::factorFor(double brightness) {
    return static_cast<float>(std::max(0.08, std::min(0.08 + 0.92 * brightness, 1.0)));
}

GammaDimDriver::GammaDimDriver(MainLoop& loop, WindowServer& windowServer)
    : loop_(loop), windowServer_(windowServer) {}

GammaDimDriver::~GammaDimDriver() {
    integrityTask_.cancel();
    for (auto& [key, state] : states_) {
        state.fadeTask.cancel();
        write(state, 1.0f);
    }
}

std::optional<GammaTables> GammaDimDriver::capture(DisplayNumber display) {
    GammaTables tables;
    if (windowServer_.getTransferTables(display, tables) != 0)
        return std::nullopt;
    return tables;
}

void GammaDimDriver::write(const DisplayState& state, float factor) {
    GammaTables scaled = state.baseline;
    for (auto* channel : {&scaled.red, &scaled.green, &scaled.blue})
        for (float& v : *channel)
            v *= factor;
    windowServer_.setTransferTables(state.cgID, scaled);
}

void GammaDimDriver::cancelFade(DisplayState& state) {
    state.fadeTask.cancel();
    state.fadeTask = {};
    // Whatever comes next keeps the display under gamma control.
    state.releasing = false;
}

bool GammaDimDriver::attach(const ManagedDisplay& display) {
    if (display.isBuiltIn)
        return false;
    auto key = display.identity.stableKey();
    DisplayNumber n = display.identity.cgID;
    if (auto it = states_.find(key); it != states_.end()) {
        DisplayState& state = it->second;
        if (state.cgID == n)
            return true;
        // The display came back under a new number: take its tables afresh, keep its level.
        cancelFade(state);
        state.cgID = n;
        if (auto baseline = capture(n))
            state.baseline = *baseline;
        write(state, state.appliedFactor);
        return true;
    }
    auto baseline = capture(n);
    if (!baseline) {
        logError(LogCategory::overlay, "GammaDimDriver: could not capture baseline for {} — skipping",
                 display.identity.modelName);
        return false;
    }
    DisplayState state;
    state.cgID = n;
    state.baseline = *baseline;
    states_.emplace(key, std::move(state));
    startIntegrityTask();
    return true;
}

void GammaDimDriver::apply(const ManagedDisplay& display, std::optional<double> brightness) {
    auto key = display.identity.stableKey();
    double b = brightness ? *brightness : cachedBrightness(key).value_or(1.0);
    brightnessCache_[key] = b;
    auto it = states_.find(key);
    if (it == states_.end())
        return;
    float f = factorFor(b);
    it->second.targetFactor = f;
    cancelFade(it->second);
    write(it->second, f);
    it->second.appliedFactor = f;
}

void GammaDimDriver::setFactorNow(const std::string& key, double share) {
    brightnessCache_[key] = share;
    auto it = states_.find(key);
    if (it == states_.end())
        return;
    float g = factorFor(share);
    it->second.targetFactor = g;
    cancelFade(it->second);
    write(it->second, g);
    it->second.appliedFactor = g;
}

void GammaDimDriver::resetToFull(const std::string& key) {
    // At full, the display is no longer dimmed by gamma: its tables are put back and no longer watched,
    // so that another program's tables are left alone.
    restore(key);
    brightnessCache_[key] = 1.0;
}

void GammaDimDriver::release(const std::string& key) {
    fade(key, 1.0f);
    auto it = states_.find(key);
    if (it == states_.end())
        return;
    if (it->second.fadeTask.running())
        it->second.releasing = true;
    else
        letGo(key, false); // already at full: the fade wrote the baseline at once
}

std::optional<double> GammaDimDriver::cachedBrightness(const std::string& key) const {
    auto it = brightnessCache_.find(key);
    if (it == brightnessCache_.end())
        return std::nullopt;
    return it->second;
}

const GammaDimDriver::DisplayState* GammaDimDriver::state(const std::string& key) const {
    auto it = states_.find(key);
    return it == states_.end() ? nullptr : &it->second;
}

void GammaDimDriver::fade(const std::string& key, float target) {
    auto it = states_.find(key);
    if (it == states_.end())
        return;
    DisplayState& state = it->second;
    state.targetFactor = target;
    cancelFade(state);
    if (std::fabs(state.appliedFactor - target) <= 0.001f) {
        write(state, target);
        state.appliedFactor = target;
        return;
    }
    state.fadeTask = spawn(loop_, runFade(weak_.weak(), key, state.appliedFactor, target), weak_.token());
}

Task<void> GammaDimDriver::runFade(WeakPtr<GammaDimDriver> self, std::string key, float from, float to) {
    TimePoint start = self->loop_.now();
    for (;;) {
        double e = std::chrono::duration<double>(self->loop_.now() - start).count();
        double p = std::min(e / std::chrono::duration<double>(fadeDuration).count(), 1.0);
        double s = p * p * (3 - 2 * p);
        float factor = static_cast<float>(from + (to - from) * s);
        if (auto it = self->states_.find(key); it != self->states_.end()) {
            self->write(it->second, factor);
            it->second.appliedFactor = factor;
        }
        if (p >= 1)
            break;
        co_await sleep(fadeStep);
    }
    if (auto it = self->states_.find(key); it != self->states_.end()) {
        self->write(it->second, to);
        it->second.appliedFactor = to;
        it->second.fadeTask = {};
        if (it->second.releasing)
            self->letGo(key, false); // the baseline is in force already
    }
}

void GammaDimDriver::restore(const std::string& key) {
    letGo(key, true);
}

void GammaDimDriver::letGo(const std::string& key, bool writeBaseline) {
    auto it = states_.find(key);
    if (it == states_.end())
        return;
    DisplayState state = std::move(it->second);
    states_.erase(it);
    state.fadeTask.cancel();
    if (writeBaseline)
        write(state, 1.0f);
    brightnessCache_.erase(key);
    logDebug(LogCategory::overlay, "GammaDimDriver: restored gamma for {}", key);
    if (states_.empty()) {
        integrityTask_.cancel();
        integrityTask_ = {};
    }
}

void GammaDimDriver::restoreAll() {
    integrityTask_.cancel();
    integrityTask_ = {};
    for (auto& [key, state] : states_) {
        state.fadeTask.cancel();
        write(state, 1.0f);
    }
    states_.clear();
    brightnessCache_.clear();
    windowServer_.restoreColorSyncSettings();
}

void GammaDimDriver::startIntegrityTask() {
    if (integrityTask_.running())
        return;
    integrityTask_ = spawn(loop_, runIntegrity(weak_.weak()), weak_.token());
}

Task<void> GammaDimDriver::runIntegrity(WeakPtr<GammaDimDriver> self) {
    for (;;) {
        self->driftCheck();
        co_await backgroundSleep(integrityInterval);
    }
}

void GammaDimDriver::driftCheck() {
    for (auto& [key, state] : states_) {
        if (state.fadeTask.running())
            continue;
        GammaTables current;
        if (windowServer_.getTransferTables(state.cgID, current) != 0)
            continue;
        // Every channel, red first: a warmer tint from another program may leave red as it was.
        float got = 0, expected = 0;
        bool drifted = false;
        for (auto [read, base] :
             {std::pair{&current.red, &state.baseline.red}, std::pair{&current.green, &state.baseline.green},
              std::pair{&current.blue, &state.baseline.blue}}) {
            got = read->back();
            expected = base->back() * state.appliedFactor;
            drifted = std::fabs(got - expected) > 0.003f;
            if (drifted)
                break;
        }
        if (drifted) {
            logDebug(LogCategory::overlay,
                     "GammaDimDriver: drift on {} (expected {:.3f}, got {:.3f}) — reapplying", key, expected,
                     got);
            write(state, state.appliedFactor);
        }
    }
}

} // namespace brivio
