// The user-level rules over the routing: a manual change ends the active preset and pauses the solar
// curve, one display may lead the others, hot keys step brightness, presets set every display.

#include "core/DisplayController.h"
#include "schedule/CivilCalendar.h"
#include "schedule/SolarCurve.h"

#include <algorithm>

namespace brivio {

void DisplayController::setUserBrightness(double value, DisplayNumber cgID, bool animated,
                                          Duration duration) {
    const ManagedDisplay* found = displayWithID(cgID);
    if (!found)
        return;
    ManagedDisplay d = *found;
    preferences_.setActivePresetID(std::nullopt);
    pauseSolarCurve();
    applyBrightness(d, value, animated, duration);
    if (preferences_.syncLeaderKey() == d.identity.stableKey()) {
        auto followers = displays_;
        for (auto& other : followers)
            if (other.identity.cgID != d.identity.cgID)
                applyBrightness(other, value, animated, duration);
    }
}

void DisplayController::syncFollowersToLeader() {
    auto leaderKey = preferences_.syncLeaderKey();
    if (!leaderKey)
        return;
    const ManagedDisplay* leader = displayWithKey(*leaderKey);
    if (!leader)
        return;
    double value = remembered(DisplayControl::brightness, *leaderKey).value_or(1.0);
    followLeader(*leaderKey, value, 250ms);
}

void DisplayController::stepBrightness(int direction) {
    double delta = direction * preferences_.brightnessStep();
    auto displays = displays_;
    if (auto leaderKey = preferences_.syncLeaderKey(); leaderKey && displayWithKey(*leaderKey)) {
        const ManagedDisplay leader = *displayWithKey(*leaderKey);
        double level =
            std::clamp(remembered(DisplayControl::brightness, *leaderKey).value_or(1.0) + delta, 0.0, 1.0);
        setUserBrightness(level, leader.identity.cgID, true, 350ms);
        for (auto& d : displays)
            hud_.showTruncated(d.identity.cgID, level);
        return;
    }
    for (auto& d : displays) {
        auto key = d.identity.stableKey();
        double level =
            std::clamp(remembered(DisplayControl::brightness, key).value_or(1.0) + delta, 0.0, 1.0);
        setUserBrightness(level, d.identity.cgID, true, 350ms);
        hud_.showTruncated(d.identity.cgID, level);
    }
}

void DisplayController::applyPreset(const BrightnessPreset& preset) {
    pauseSolarCurve();
    auto displays = displays_;
    for (auto& d : displays) {
        applyBrightness(d, preset.brightness, true, 1500ms);
        if (preset.contrast)
            animateContrast(d, *preset.contrast, 1500ms);
        if (preset.volume)
            animateVolume(d, *preset.volume, 1500ms);
    }
    preferences_.setActivePresetID(preset.id);
}

void DisplayController::applyPreviewBrightness(double value) {
    double v = std::clamp(value, 0.0, 1.0);
    auto displays = displays_;
    for (auto& d : displays) {
        preferences_.setBrightness(d.identity.stableKey(), v);
        if (d.isBuiltIn)
            applyBrightness(d, v, false);
        else
            overlayDriver_.setBrightness(d, v);
    }
}

void DisplayController::clearPreviewOverlays() {
    auto displays = displays_;
    for (auto& d : displays)
        if (!d.isBuiltIn)
            overlayDriver_.setBrightness(d, 1.0);
}

void DisplayController::pauseSolarCurve() {
    if (!preferences_.solarCurveEnabled())
        return;
    // From the location itself: the schedule engine does not exist before a display was found, and
    // a change made then must still end at the next sunrise.
    WallTime now = platform_.clock.now();
    preferences_.setSolarPausedUntil(
        SolarCurve::pauseTarget(now, location_->coordinate(), CivilCalendar(platform_.clock.timeZone())));
}

void DisplayController::resumeSolarCurve() {
    preferences_.setActivePresetID(std::nullopt);
    if (!preferences_.solarCurveEnabled())
        return;
    preferences_.setSolarPausedUntil(std::nullopt);
    if (scheduleEngine_)
        scheduleEngine_->applySolarCurve(platform_.clock.now());
}

} // namespace brivio
