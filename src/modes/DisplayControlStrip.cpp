#include "modes/DisplayControlStrip.h"

#include <algorithm>
#include <fmt/format.h>
#include <utility>

namespace brivio {

// Shared with the countdowns, which may outlive the strip.
struct DisplayControlStrip::State {
    MainLoop& loop;
    DisplayModeManager& manager;
    // The manager may go before a countdown that outlived its strip; then nothing can be reverted.
    std::weak_ptr<void> managerAlive = manager.token();
    ManagedDisplay display;
    ModeStripState view;
    std::optional<TaskHandle> revertTask;
    std::optional<TaskHandle> rotationRevertTask;
    Signal<PendingKind> changed;

    State(MainLoop& l, DisplayModeManager& m, ManagedDisplay d)
        : loop(l), manager(m), display(std::move(d)) {}

    DisplayNumber number() const { return display.identity.cgID; }

    static void stop(std::optional<TaskHandle>& task) {
        if (task)
            task->cancel();
        task.reset();
    }

    static Task<void> countdown(std::shared_ptr<State> state, PendingKind kind) {
        bool rotation = kind == PendingKind::rotation;
        int& secondsLeft = rotation ? state->view.rotationRevertCountdown : state->view.revertCountdown;
        for (int r = countdownSeconds - 1; r >= 0; --r) {
            co_await sleep(1s);
            secondsLeft = r;
            state->changed.emit(kind);
        }
        // A display that left may have handed its number to another one; never turn or switch that.
        if (!state->manager.stillNames(state->number(), state->display.identity)) {
            (rotation ? state->rotationRevertTask : state->revertTask).reset();
            rotation ? state->view.previousRotation.reset() : state->view.previousMode.reset();
            state->changed.emit(kind);
        } else if (rotation && state->view.previousRotation) {
            state->revertRotation(*state->view.previousRotation);
        } else if (!rotation && state->view.previousMode) {
            state->revertMode(*state->view.previousMode);
        }
    }

    TaskHandle startCountdown(std::shared_ptr<State> self, PendingKind kind) {
        noteUnconfirmed(self);
        return spawn(loop, countdown(std::move(self), kind), manager.token());
    }

    // Every state that has had an unconfirmed change, for a quit that cannot wait for the countdowns.
    static std::vector<std::weak_ptr<State>>& unconfirmed() {
        static std::vector<std::weak_ptr<State>> states;
        return states;
    }
    static void noteUnconfirmed(const std::shared_ptr<State>& self) {
        auto& states = unconfirmed();
        std::erase_if(states, [](const std::weak_ptr<State>& s) { return s.expired(); });
        bool known = std::any_of(states.begin(), states.end(),
                                 [&](const std::weak_ptr<State>& s) { return s.lock() == self; });
        if (!known)
            states.push_back(self);
    }

    void applyMode(std::shared_ptr<State> self, const DisplayResolutionMode& mode) {
        if (view.currentMode && *view.currentMode == mode)
            return;
        auto old = view.currentMode;
        if (!manager.switchToMode(number(), mode))
            return;
        view.currentMode = mode;
        view.previousMode = old;
        view.revertCountdown = countdownSeconds;
        stop(revertTask);
        revertTask = startCountdown(std::move(self), PendingKind::mode);
        changed.emit(PendingKind::mode);
    }

    void keepMode() {
        stop(revertTask);
        view.previousMode.reset();
        changed.emit(PendingKind::mode);
    }

    void revertMode(DisplayResolutionMode target) {
        stop(revertTask);
        view.previousMode.reset();
        if (manager.switchToMode(number(), target))
            view.currentMode = manager.currentMode(number());
        changed.emit(PendingKind::mode);
    }

    void applyRotation(std::shared_ptr<State> self, int angle) {
        bool offered = std::find(rotationAngles.begin(), rotationAngles.end(), angle) != rotationAngles.end();
        if (!offered || angle == view.currentRotation)
            return;
        int old = view.currentRotation;
        if (!manager.setRotation(angle, number()))
            return;
        view.currentRotation = angle;
        view.previousRotation = old;
        view.rotationRevertCountdown = countdownSeconds;
        stop(rotationRevertTask);
        rotationRevertTask = startCountdown(std::move(self), PendingKind::rotation);
        changed.emit(PendingKind::rotation);
    }

    void keepRotation() {
        stop(rotationRevertTask);
        view.previousRotation.reset();
        changed.emit(PendingKind::rotation);
    }

    void revertUnconfirmed() {
        // A display that left may have handed its number to another one; never turn or switch that.
        bool same = manager.stillNames(number(), display.identity);
        if (view.previousMode) {
            if (same)
                revertMode(*view.previousMode);
            else
                forget(PendingKind::mode);
        }
        if (view.previousRotation) {
            if (same)
                revertRotation(*view.previousRotation);
            else
                forget(PendingKind::rotation);
        }
    }

    void forget(PendingKind kind) {
        bool rotation = kind == PendingKind::rotation;
        stop(rotation ? rotationRevertTask : revertTask);
        rotation ? view.previousRotation.reset() : view.previousMode.reset();
        changed.emit(kind);
    }

    void revertRotation(int angle) {
        stop(rotationRevertTask);
        view.previousRotation.reset();
        // Showing the target after a refusal would claim an angle the display does not have.
        view.currentRotation =
            manager.setRotation(angle, number()) ? angle : manager.currentRotation(number());
        changed.emit(PendingKind::rotation);
    }
};

DisplayControlStrip::DisplayControlStrip(MainLoop& loop, DisplayModeManager& manager, ManagedDisplay display)
    : state_(std::make_shared<State>(loop, manager, std::move(display))) {
    auto& v = state_->view;
    auto n = state_->number();
    v.modes = manager.modes(n);
    v.preferredModes = manager.preferredModes(n);
    v.allModes = manager.allModes(n);
    v.currentMode = manager.currentMode(n);
    v.currentRotation = manager.currentRotation(n);
    v.modesUnavailable = manager.modesUnavailable(n);
}

DisplayControlStrip::~DisplayControlStrip() = default;

const ManagedDisplay& DisplayControlStrip::display() const {
    return state_->display;
}

const ModeStripState& DisplayControlStrip::state() const {
    return state_->view;
}

bool DisplayControlStrip::countingDown(PendingKind kind) const {
    auto& task = kind == PendingKind::mode ? state_->revertTask : state_->rotationRevertTask;
    return task && task->running();
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
void DisplayControlStrip::revertUnconfirmed() {
    state_->revertUnconfirmed();
}
void DisplayControlStrip::revertEveryUnconfirmed() {
    auto states = std::exchange(State::unconfirmed(), {});
    for (const auto& weak : states)
        if (auto state = weak.lock(); state && !state->managerAlive.expired())
            state->revertUnconfirmed();
}

ModeList DisplayControlStrip::refreshOptions() const {
    return brivio::refreshOptions(state_->view.allModes, state_->view.currentMode);
}
bool DisplayControlStrip::hasBothScaleKinds() const {
    return brivio::hasBothScaleKinds(state_->view.modes);
}
void DisplayControlStrip::toggleHiDPI() {
    if (auto target = hiDPIToggleTarget(state_->view.modes, state_->view.currentMode))
        applyMode(*target);
}

std::string keepBanner(PendingKind kind, int secondsLeft) {
    auto seconds = static_cast<long long>(secondsLeft);
    return kind == PendingKind::mode ? fmt::format("Keep the display changes? ({}s)", seconds)
                                     : fmt::format("Keep the rotation? ({}s)", seconds);
}

std::optional<std::string> DisplayControlStrip::modeBanner() const {
    if (!state_->view.previousMode)
        return std::nullopt;
    return keepBanner(PendingKind::mode, state_->view.revertCountdown);
}

std::optional<std::string> DisplayControlStrip::rotationBanner() const {
    if (!state_->view.previousRotation)
        return std::nullopt;
    return keepBanner(PendingKind::rotation, state_->view.rotationRevertCountdown);
}

Signal<PendingKind>& DisplayControlStrip::changed() {
    return state_->changed;
}

} // namespace brivio
