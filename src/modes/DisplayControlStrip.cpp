#include "modes/DisplayControlStrip.h"

#include <fmt/format.h>

namespace brivio {

// Shared with the countdowns, which may outlive the strip.
struct DisplayControlStrip::State {
    MainLoop& loop;
    DisplayModeManager& manager;
    ManagedDisplay display;
    ModeList modes, preferredModes, allModes;
    CurrentMode currentMode, previousMode;
    int revertCountdown = countdownSeconds;
    std::optional<TaskHandle> revertTask;
    int currentRotation = 0;
    std::optional<int> previousRotation;
    int rotationRevertCountdown = countdownSeconds;
    std::optional<TaskHandle> rotationRevertTask;
    bool displayGone = false;
    Signal<> changed;

    State(MainLoop& l, DisplayModeManager& m, ManagedDisplay d)
        : loop(l), manager(m), display(std::move(d)) {}

    DisplayNumber number() const { return display.identity.cgID; }

    static void stop(std::optional<TaskHandle>& task) {
        if (task)
            task->cancel();
        task.reset();
    }

    static Task<void> countdown(std::shared_ptr<State> state, bool rotation) {
        int& secondsLeft = rotation ? state->rotationRevertCountdown : state->revertCountdown;
        for (int r = countdownSeconds - 1; r >= 0; --r) {
            co_await sleep(1s);
            secondsLeft = r;
            state->changed.emit();
        }
        if (rotation && state->previousRotation)
            state->revertRotation(*state->previousRotation);
        else if (!rotation && state->previousMode)
            state->revertMode(*state->previousMode);
    }

    TaskHandle startCountdown(std::shared_ptr<State> self, bool rotation) {
        return spawn(loop, countdown(std::move(self), rotation), manager.token());
    }

    void applyMode(std::shared_ptr<State> self, const DisplayResolutionMode& mode) {
        if (displayGone || (currentMode && *currentMode == mode))
            return;
        auto old = currentMode;
        if (!manager.switchToMode(number(), mode))
            return;
        currentMode = mode;
        previousMode = old;
        revertCountdown = countdownSeconds;
        stop(revertTask);
        revertTask = startCountdown(std::move(self), false);
        changed.emit();
    }

    void keepMode() {
        stop(revertTask);
        previousMode.reset();
        changed.emit();
    }

    void revertMode(DisplayResolutionMode target) {
        stop(revertTask);
        previousMode.reset();
        if (!displayGone && manager.switchToMode(number(), target))
            currentMode = manager.currentMode(number());
        changed.emit();
    }

    void applyRotation(std::shared_ptr<State> self, int angle) {
        if (displayGone || angle == currentRotation)
            return;
        int old = currentRotation;
        if (!manager.setRotation(angle, number()))
            return;
        currentRotation = angle;
        previousRotation = old;
        rotationRevertCountdown = countdownSeconds;
        stop(rotationRevertTask);
        rotationRevertTask = startCountdown(std::move(self), true);
        changed.emit();
    }

    void keepRotation() {
        stop(rotationRevertTask);
        previousRotation.reset();
        changed.emit();
    }

    void revertRotation(int angle) {
        stop(rotationRevertTask);
        previousRotation.reset();
        if (!displayGone)
            currentRotation =
                manager.setRotation(angle, number()) ? angle : manager.currentRotation(number());
        changed.emit();
    }
};

DisplayControlStrip::DisplayControlStrip(MainLoop& loop, DisplayModeManager& manager, ManagedDisplay display)
    : state_(std::make_shared<State>(loop, manager, std::move(display))) {
    auto& s = *state_;
    auto n = s.number();
    s.modes = manager.modes(n);
    s.preferredModes = manager.preferredModes(n);
    s.allModes = manager.allModes(n);
    s.currentMode = manager.currentMode(n);
    s.currentRotation = manager.currentRotation(n);
}

DisplayControlStrip::~DisplayControlStrip() = default;

const ManagedDisplay& DisplayControlStrip::display() const {
    return state_->display;
}
const ModeList& DisplayControlStrip::modes() const {
    return state_->modes;
}
const ModeList& DisplayControlStrip::preferredModes() const {
    return state_->preferredModes;
}
const ModeList& DisplayControlStrip::allModes() const {
    return state_->allModes;
}
const CurrentMode& DisplayControlStrip::currentMode() const {
    return state_->currentMode;
}
const CurrentMode& DisplayControlStrip::previousMode() const {
    return state_->previousMode;
}
int DisplayControlStrip::revertCountdown() const {
    return state_->revertCountdown;
}
const std::optional<TaskHandle>& DisplayControlStrip::revertTask() const {
    return state_->revertTask;
}
int DisplayControlStrip::currentRotation() const {
    return state_->currentRotation;
}
std::optional<int> DisplayControlStrip::previousRotation() const {
    return state_->previousRotation;
}
int DisplayControlStrip::rotationRevertCountdown() const {
    return state_->rotationRevertCountdown;
}
const std::optional<TaskHandle>& DisplayControlStrip::rotationRevertTask() const {
    return state_->rotationRevertTask;
}

void DisplayControlStrip::applyMode(const DisplayResolutionMode& mode) {
    state_->applyMode(state_, mode);
}
void DisplayControlStrip::keepMode() {
    state_->keepMode();
}
void DisplayControlStrip::revertMode(DisplayResolutionMode target) {
    state_->revertMode(std::move(target));
}
void DisplayControlStrip::applyRotation(int angle) {
    state_->applyRotation(state_, angle);
}
void DisplayControlStrip::keepRotation() {
    state_->keepRotation();
}
void DisplayControlStrip::revertRotation(int angle) {
    state_->revertRotation(angle);
}

ModeList DisplayControlStrip::refreshOptions() const {
    return brivio::refreshOptions(state_->allModes, state_->currentMode);
}
bool DisplayControlStrip::hasBothScaleKinds() const {
    return brivio::hasBothScaleKinds(state_->modes);
}
void DisplayControlStrip::toggleHiDPI() {
    if (auto target = hiDPIToggleTarget(state_->modes, state_->currentMode))
        applyMode(*target);
}

std::optional<std::string> DisplayControlStrip::modeBanner() const {
    if (!state_->previousMode)
        return std::nullopt;
    return fmt::format("Keep the display changes? ({}s)", static_cast<long long>(state_->revertCountdown));
}

std::optional<std::string> DisplayControlStrip::rotationBanner() const {
    if (!state_->previousRotation)
        return std::nullopt;
    return fmt::format("Keep the rotation? ({}s)", static_cast<long long>(state_->rotationRevertCountdown));
}

void DisplayControlStrip::displayLeft() {
    auto& s = *state_;
    s.displayGone = true;
    State::stop(s.revertTask);
    State::stop(s.rotationRevertTask);
    s.previousMode.reset();
    s.previousRotation.reset();
    s.changed.emit();
}

Signal<>& DisplayControlStrip::changed() {
    return state_->changed;
}

} // namespace brivio
