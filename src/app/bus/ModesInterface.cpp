// The agent's Modes1 interface: a display's modes, switching mode and turning the display, each change
// confirmed with a keep call or reverted at the end of its ten-second countdown, which the bus counts
// down in signals. The countdown belongs to the agent: a client that goes away does not stop it.

#include "app/StatusJson.h"
#include "app/bus/AgentBusService.h"
#include "app/bus/BusArguments.h"
#include "app/bus/VariantJson.h"
#include "modes/ModeWords.h"
#include "modes/RotationChain.h"

#include <algorithm>
#include <fmt/format.h>
#include <sdbus-c++/sdbus-c++.h>
#include <tuple>

namespace brivio::bus {

namespace {

const char* kindWord(PendingKind kind) {
    return kind == PendingKind::mode ? "mode" : "rotation";
}

int slot(PendingKind kind) {
    return kind == PendingKind::mode ? 0 : 1;
}

} // namespace

AgentBusService::ModeSession& AgentBusService::modeSession(const ManagedDisplay& display, bool fresh) {
    auto key = display.identity.stableKey();
    auto& session = modeSessions_[key];
    bool busy = session && (session->pending[0] || session->pending[1]);
    // The lists and the current mode are read when the strip is made: read them again for a new
    // change, unless one is still waiting for confirmation.
    if (!session || (!busy && (fresh || session->strip->display() != display))) {
        session = std::make_unique<ModeSession>();
        session->strip = std::make_unique<DisplayControlStrip>(loop_, modeManager_, display);
        session->changed =
            session->strip->changed().subscribe([this, key](PendingKind kind) { stripChanged(key, kind); });
    }
    return *session;
}

void AgentBusService::stripChanged(const std::string& key, PendingKind kind) {
    auto it = modeSessions_.find(key);
    if (it == modeSessions_.end())
        return;
    ModeSession& session = *it->second;
    const ModeStripState& state = session.strip->state();
    int i = slot(kind);
    if (state.pending(kind)) {
        session.pending[i] = true;
        int left = kind == PendingKind::mode ? state.revertCountdown : state.rotationRevertCountdown;
        object_->emitSignal("Countdown")
            .onInterface(modesInterface)
            .withArguments(key, std::string(kindWord(kind)), left);
        sendSoon();
        return;
    }
    if (!session.pending[i])
        return;
    session.pending[i] = false;
    std::string outcome = session.keeping[i] ? "kept" : "reverted";
    session.keeping[i] = false;
    std::string current = kind == PendingKind::mode
                              ? (state.currentMode ? state.currentMode->id() : std::string())
                              : std::to_string(state.currentRotation);
    object_->emitSignal("Settled")
        .onInterface(modesInterface)
        .withArguments(key, std::string(kindWord(kind)), outcome, current);
    sendSoon();
}

void AgentBusService::registerModes() {
    const char* I = modesInterface;

    object_->registerMethod("ListModes")
        .onInterface(I)
        .withInputParamNames("display", "all")
        .withOutputParamNames("modes")
        .implementedAs([this](const std::string& display, bool all) {
            return guarded([&] {
                const ManagedDisplay& d = displayNamed(display);
                auto n = d.identity.cgID;
                auto current = modeManager_.currentMode(n);
                auto list = all ? modeManager_.allModes(n) : modeManager_.modes(n);
                auto array = nlohmann::json::array();
                for (const auto& m : list) {
                    // The short list ticks the current size, the full list the mode itself.
                    bool isCurrent =
                        current && (all ? m.id() == current->id()
                                        : m.width == current->width && m.height == current->height &&
                                              m.pixelWidth == current->pixelWidth);
                    array.push_back(status::mode(m, isCurrent));
                }
                return toVariantMaps(array);
            });
        });
    object_->registerMethod("GetModeState")
        .onInterface(I)
        .withInputParamNames("display")
        .withOutputParamNames("state")
        .implementedAs([this](const std::string& display) {
            return guarded([&] {
                const ManagedDisplay& d = displayNamed(display);
                auto key = d.identity.stableKey();
                auto it = modeSessions_.find(key);
                nlohmann::json state;
                if (it != modeSessions_.end()) {
                    const auto& s = it->second->strip->state();
                    state = {{"mode", s.currentMode ? nlohmann::json(s.currentMode->id()) : nlohmann::json()},
                             {"rotation", s.currentRotation},
                             {"modePending", s.pending(PendingKind::mode)},
                             {"modeSecondsLeft", s.revertCountdown},
                             {"rotationPending", s.pending(PendingKind::rotation)},
                             {"rotationSecondsLeft", s.rotationRevertCountdown}};
                    if (!s.pending(PendingKind::mode))
                        state.erase("modeSecondsLeft");
                    if (!s.pending(PendingKind::rotation))
                        state.erase("rotationSecondsLeft");
                } else {
                    auto current = modeManager_.currentMode(d.identity.cgID);
                    state = {{"mode", current ? nlohmann::json(current->id()) : nlohmann::json()},
                             {"rotation", modeManager_.currentRotation(d.identity.cgID)},
                             {"modePending", false},
                             {"rotationPending", false}};
                }
                return toVariantMap(state);
            });
        });
    object_->registerMethod("ApplyMode")
        .onInterface(I)
        .withInputParamNames("display", "mode")
        .withOutputParamNames("current", "pending")
        .implementedAs([this](const std::string& display, const std::string& word) {
            return guarded([&] {
                ModeSession& session = modeSession(displayNamed(display), true);
                auto& strip = *session.strip;
                auto target = modeNamed(word, strip.state().modes, strip.state().allModes);
                if (!target)
                    refuse(errors::notFound,
                           fmt::format("'{}' is not a mode of '{}' (see ListModes)", word, display));
                if (strip.state().currentMode != *target) {
                    strip.applyMode(*target);
                    if (strip.state().currentMode != *target)
                        refuse(errors::failed,
                               fmt::format("'{}' refused the mode {}", display, target->label()));
                }
                return std::tuple{target->id(), strip.state().pending(PendingKind::mode)};
            });
        });
    object_->registerMethod("ApplyRotation")
        .onInterface(I)
        .withInputParamNames("display", "degrees")
        .withOutputParamNames("current", "pending")
        .implementedAs([this](const std::string& display, std::int32_t degrees) {
            return guarded([&] {
                const ManagedDisplay& d = displayNamed(display);
                if (d.isBuiltIn)
                    refuse(
                        errors::unsupported,
                        fmt::format("'{}' is the built-in display, which has no rotation control", display));
                if (std::find(rotationAngles.begin(), rotationAngles.end(), degrees) == rotationAngles.end())
                    refuse(errors::outOfRange,
                           fmt::format("{} is not an angle: use 0, 90, 180 or 270", degrees));
                ModeSession& session = modeSession(d, true);
                auto& strip = *session.strip;
                if (strip.state().currentRotation != degrees) {
                    strip.applyRotation(degrees);
                    if (strip.state().currentRotation != degrees)
                        refuse(errors::failed,
                               fmt::format("'{}' could not be turned to {}°", display, degrees));
                }
                return std::tuple{std::int32_t(degrees), strip.state().pending(PendingKind::rotation)};
            });
        });

    // Keep and revert for both kinds: only while a change waits for confirmation.
    for (auto kind : {PendingKind::mode, PendingKind::rotation}) {
        std::string noun = kind == PendingKind::mode ? "Mode" : "Rotation";
        for (bool keep : {true, false}) {
            object_->registerMethod((keep ? "Keep" : "Revert") + noun)
                .onInterface(I)
                .withInputParamNames("display")
                .implementedAs([this, kind, keep](const std::string& display) {
                    guarded([&] {
                        const ManagedDisplay& d = displayNamed(display);
                        auto it = modeSessions_.find(d.identity.stableKey());
                        if (it == modeSessions_.end() || !it->second->strip->state().pending(kind))
                            refuse(errors::refused, fmt::format("no {} change of '{}' waits for confirmation",
                                                                kindWord(kind), display));
                        ModeSession& session = *it->second;
                        auto& strip = *session.strip;
                        const auto& state = strip.state();
                        session.keeping[slot(kind)] = keep;
                        if (kind == PendingKind::mode)
                            keep ? strip.keepMode() : strip.revertMode(*state.previousMode);
                        else
                            keep ? strip.keepRotation() : strip.revertRotation(*state.previousRotation);
                    });
                });
        }
    }
    object_->registerSignal("Countdown")
        .onInterface(I)
        .withParameters<std::string, std::string, std::int32_t>("display", "kind", "secondsLeft");
    object_->registerSignal("Settled")
        .onInterface(I)
        .withParameters<std::string, std::string, std::string, std::string>("display", "kind", "outcome",
                                                                            "current");
}

} // namespace brivio::bus
