// The agent's Displays1 interface: the published displays, their levels (absolute and relative, with
// or without animation), the brightness steps of the hot keys, Extended Dimming, the sync leader,
// and the monitors' inputs and power.

#include "app/StatusJson.h"
#include "app/bus/AgentBusService.h"
#include "app/bus/BusArguments.h"
#include "app/bus/VariantJson.h"
#include "drivers/InputSource.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <sdbus-c++/sdbus-c++.h>

namespace brivio::bus {

namespace {

// A change asked for with animation moves as a hot-key step does.
constexpr Duration animatedChange = 350ms;

// Where the store remembers nothing yet, relative changes start where the panel would show the slider.
double startingLevel(DisplayControl control) {
    return control == DisplayControl::contrast ? 0.75 : control == DisplayControl::volume ? 0.5 : 1.0;
}

// The answers of members that wait on the monitor. `sent` lets the connection send what it had to queue.
Task<void> answerInput(Task<std::optional<std::uint8_t>> read, std::string display,
                       std::shared_ptr<sdbus::Result<std::uint8_t>> result, std::function<void()> sent) {
    auto value = co_await std::move(read);
    if (value)
        result->returnResults(*value);
    else
        result->returnError(sdbus::Error(errors::unknownValue,
                                         fmt::format("'{}' did not say which input it shows", display)));
    sent();
}

Task<void> answerPowerOff(Task<bool> request, std::string display, std::shared_ptr<sdbus::Result<>> result,
                          std::function<void()> sent) {
    // Awaited into a variable: g++ 12 mishandles a co_await inside an if condition.
    bool taken = co_await std::move(request);
    if (taken)
        result->returnResults();
    else
        result->returnError(
            sdbus::Error(errors::failed, fmt::format("'{}' did not take the power-off request", display)));
    sent();
}

} // namespace

void AgentBusService::setLevel(const std::string& word, const std::string& controlWord, double amount,
                               bool relative, bool animated, std::map<std::string, double>* targets) {
    DisplayControl control = controlNamed(controlWord);
    auto named = displaysNamed(word);
    std::vector<ManagedDisplay> chosen;
    for (const auto& d : named)
        if (status::supports(d, control))
            chosen.push_back(d);
    if (chosen.empty())
        refuse(errors::unsupported, word == "all" ? fmt::format("no display has a {} control", controlWord)
                                                  : fmt::format("'{}' has no {} control", word, controlWord));
    auto& controller = services_.controller();
    for (const auto& d : chosen) {
        double level = amount;
        if (relative)
            level = std::clamp(status::knownLevel(controller, d, control).value_or(startingLevel(control)) +
                                   amount,
                               0.0, 1.0);
        if (targets)
            (*targets)[d.identity.stableKey()] = level;
        // The rules of the panel's sliders: a brightness change ends the active preset and pauses the
        // solar curve, a contrast or volume change ends the active preset.
        switch (control) {
        case DisplayControl::brightness:
            controller.setUserBrightness(level, d.identity.cgID, animated, animated ? animatedChange : 0s);
            break;
        case DisplayControl::contrast:
            if (animated) {
                services_.preferences().setActivePresetID(std::nullopt);
                controller.animateContrast(d, level, animatedChange);
            } else {
                controller.setDisplayContrast(level, d.identity.cgID);
            }
            break;
        case DisplayControl::volume:
            if (animated) {
                services_.preferences().setActivePresetID(std::nullopt);
                controller.animateVolume(d, level, animatedChange);
            } else {
                controller.setDisplayVolume(level, d.identity.cgID);
            }
            break;
        case DisplayControl::mute:
            break;
        }
    }
}

void AgentBusService::registerDisplays() {
    const char* I = displaysInterface;
    auto& controller = services_.controller();
    auto& prefs = services_.preferences();

    object_->registerMethod("GetDisplays")
        .onInterface(I)
        .withOutputParamNames("displays")
        .implementedAs([this] {
            return guarded([&] { return toVariantMaps(status::displays(services_.controller())); });
        });
    object_->registerSignal("DisplaysChanged").onInterface(I);

    object_->registerMethod("GetLevel")
        .onInterface(I)
        .withInputParamNames("display", "control")
        .withOutputParamNames("level")
        .implementedAs([this](const std::string& display, const std::string& controlWord) {
            return guarded([&] {
                DisplayControl control = controlNamed(controlWord);
                const ManagedDisplay& d = displayNamed(display);
                if (!status::supports(d, control))
                    refuse(errors::unsupported, fmt::format("'{}' has no {} control", display, controlWord));
                auto level = status::knownLevel(services_.controller(), d, control);
                if (!level)
                    refuse(errors::unknownValue,
                           fmt::format("the {} of '{}' is not known yet", controlWord, display));
                return *level;
            });
        });
    object_->registerMethod("SetLevel")
        .onInterface(I)
        .withInputParamNames("display", "control", "level", "animated")
        .implementedAs(
            [this](const std::string& display, const std::string& control, double level, bool animated) {
                guarded([&] {
                    setLevel(display, control, levelArgument(level, "level"), false, animated, nullptr);
                });
            });
    object_->registerMethod("ChangeLevel")
        .onInterface(I)
        .withInputParamNames("display", "control", "delta", "animated")
        .withOutputParamNames("levels")
        .implementedAs(
            [this](const std::string& display, const std::string& control, double delta, bool animated) {
                return guarded([&] {
                    if (!std::isfinite(delta) || delta < -1 || delta > 1)
                        refuse(errors::outOfRange, fmt::format("delta {} is out of range: -1 to 1", delta));
                    std::map<std::string, double> targets;
                    setLevel(display, control, delta, true, animated, &targets);
                    return targets;
                });
            });
    object_->registerMethod("StepUp").onInterface(I).implementedAs(
        [&controller] { guarded([&] { controller.stepBrightness(+1); }); });
    object_->registerMethod("StepDown").onInterface(I).implementedAs([&controller] {
        guarded([&] { controller.stepBrightness(-1); });
    });
    object_->registerSignal("LevelChanged")
        .onInterface(I)
        .withParameters<std::string, std::string, double>("display", "control", "level");

    object_->registerMethod("SetExtendedDimming")
        .onInterface(I)
        .withInputParamNames("display", "enabled")
        .implementedAs([this](const std::string& display, bool enabled) {
            guarded([&] {
                const ManagedDisplay& d = displayNamed(display);
                if (d.isBuiltIn)
                    refuse(
                        errors::unsupported,
                        fmt::format("'{}' is the built-in display: Extended Dimming is for external displays",
                                    display));
                services_.controller().setExtendedDimming(enabled, d.identity.cgID);
            });
        });

    object_->registerMethod("GetSyncLeader")
        .onInterface(I)
        .withOutputParamNames("display")
        .implementedAs([&prefs] { return prefs.syncLeaderKey().value_or(""); });
    object_->registerMethod("SetSyncLeader")
        .onInterface(I)
        .withInputParamNames("display")
        .implementedAs([this](const std::string& display) {
            guarded([&] {
                if (display.empty()) {
                    services_.preferences().setSyncLeaderKey(std::nullopt);
                    return;
                }
                const ManagedDisplay& leader = displayNamed(display);
                services_.preferences().setSyncLeaderKey(leader.identity.stableKey());
                services_.controller().syncFollowersToLeader();
            });
        });
    object_->registerSignal("SyncLeaderChanged").onInterface(I).withParameters<std::string>("display");

    object_->registerMethod("GetInputSource")
        .onInterface(I)
        .withInputParamNames("display")
        .withOutputParamNames("input")
        .implementedAs([this](sdbus::Result<std::uint8_t>&& result, const std::string& display) {
            guarded([&] {
                const ManagedDisplay& d = displayNamed(display);
                if (d.isBuiltIn || !d.capabilities.supportsInputSwitch)
                    refuse(errors::unsupported,
                           fmt::format("'{}' cannot switch inputs: it has no input select over DDC/CI",
                                       display));
                auto shared = std::make_shared<sdbus::Result<std::uint8_t>>(std::move(result));
                spawn(loop_,
                      answerInput(services_.controller().inputSource(d.identity.cgID), display, shared,
                                  [this] { sendSoon(); }),
                      weak_.token());
            });
        });
    object_->registerMethod("SetInputSource")
        .onInterface(I)
        .withInputParamNames("display", "input")
        .implementedAs([this](const std::string& display, std::uint8_t input) {
            guarded([&] {
                if (input == 0)
                    refuse(errors::outOfRange, "input 0 names no input: inputs go from 1 to 255");
                const ManagedDisplay& d = displayNamed(display);
                if (d.isBuiltIn || !d.capabilities.supportsInputSwitch)
                    refuse(errors::unsupported,
                           fmt::format("'{}' cannot switch inputs: it has no input select over DDC/CI",
                                       display));
                if (!services_.controller().setInputSource(input, d.identity.cgID)) {
                    const DDCInputSource* source = inputSourceWithValue(input);
                    refuse(errors::failed, fmt::format("'{}' did not take the switch to {} (0x{:02X})",
                                                       display, source ? source->name : "input", input));
                }
            });
        });
    object_->registerMethod("PowerOff")
        .onInterface(I)
        .withInputParamNames("display", "confirmed")
        .implementedAs([this](sdbus::Result<>&& result, const std::string& display, bool confirmed) {
            guarded([&] {
                const ManagedDisplay& d = displayNamed(display);
                if (d.isBuiltIn)
                    refuse(errors::refused,
                           fmt::format("'{}' is the built-in display: it is not powered off from here",
                                       display));
                if (!d.capabilities.supportsPowerOff)
                    refuse(errors::unsupported,
                           fmt::format("'{}' cannot be powered off over its connection", display));
                // Only the monitor's own button turns it back on: the caller must have asked the user.
                if (!confirmed)
                    refuse(
                        errors::refused,
                        "power off needs confirmed = true: only the monitor's own button turns it back on");
                auto shared = std::make_shared<sdbus::Result<>>(std::move(result));
                DDCDisplayDriver::PowerOffConfirmed asked;
                spawn(loop_,
                      answerPowerOff(services_.controller().powerOff(d.identity.cgID, asked), display, shared,
                                     [this] { sendSoon(); }),
                      weak_.token());
            });
        });
}

} // namespace brivio::bus
