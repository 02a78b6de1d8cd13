// What the controller does when another process (a command line run, a user's editor) changed a
// setting: the same as when the panel changes it, so that the displays show what the file says.

#include "core/DisplayController.h"
#include "settings/PreferenceKeys.h"

namespace brivio {

namespace {

std::optional<DisplayControl> levelControl(const std::string& storeKey) {
    if (storeKey == prefkeys::perDisplayBrightness)
        return DisplayControl::brightness;
    if (storeKey == prefkeys::perDisplayContrast)
        return DisplayControl::contrast;
    if (storeKey == prefkeys::perDisplayVolume)
        return DisplayControl::volume;
    return std::nullopt;
}

} // namespace

void DisplayController::followExternalChange(const BrivioPreferences::ExternalChange& change) {
    if (shutDown_)
        return;
    const std::string& key = change.key;
    if (auto control = levelControl(key)) {
        // The writer already cleared the active preset or paused the curve where its rules said so;
        // those came as keys of their own. Here the displays only take the levels.
        for (const auto& displayKey : change.displayKeys) {
            const ManagedDisplay* display = displayWithKey(displayKey);
            auto value = remembered(*control, displayKey);
            if (display && value)
                adoptLevel(ManagedDisplay(*display), *control, *value);
        }
    } else if (key == prefkeys::externalOverlayDimming) {
        for (const auto& displayKey : change.displayKeys)
            if (const ManagedDisplay* display = displayWithKey(displayKey); display && !display->isBuiltIn)
                setExtendedDimming(extendedDimmingOn(displayKey), display->identity.cgID);
    } else if (key == prefkeys::syncLeaderKey) {
        syncFollowersToLeader();
    } else if (key == prefkeys::solarEnabled || key == prefkeys::solarNightLevel ||
               key == prefkeys::solarDayLevel) {
        if (scheduleEngine_ && preferences_.solarCurveEnabled())
            scheduleEngine_->applySolarCurve(platform_.clock.now());
    }
    // Schedules, presets and the rest are read where they are used: the next minute's evaluation
    // sees a new schedule, the panel redraws on the change.
}

void DisplayController::adoptLevel(const ManagedDisplay& display, DisplayControl control, double value) {
    auto key = display.identity.stableKey();
    // The other process may have written the monitor already: a fresh animator starts at the value,
    // so the monitor is written that value once instead of being walked there from the old one.
    auto& animators = animatorsFor(control);
    if (auto it = animators.find(key); it != animators.end()) {
        it->second->cancel();
        animators.erase(it);
    }
    if (control == DisplayControl::brightness) {
        applyBrightness(display, value, false);
        return;
    }
    bool supported = control == DisplayControl::contrast ? display.capabilities.supportsHardwareContrast
                                                         : display.capabilities.supportsHardwareVolume;
    if (display.isBuiltIn || !supported)
        return;
    tasks_.cancel(key, animationPurpose(control));
    animator(display, control, value).setTarget(value);
}

} // namespace brivio
