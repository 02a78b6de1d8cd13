#pragma once
// The one coordinator of displays: enumerates them, probes each with its driver, publishes the sorted
// list, routes every brightness, contrast and volume change to the right path, and remembers values.

#include "base/Signal.h"
#include "base/TaskTable.h"
#include "base/WeakPtr.h"
#include "core/DDCAnimator.h"
#include "drivers/BrightnessHUD.h"
#include "drivers/DDCDisplayDriver.h"
#include "drivers/GammaDimDriver.h"
#include "drivers/NativeDisplayDriver.h"
#include "drivers/OverlayDisplayDriver.h"
#include "model/ManagedDisplay.h"
#include "platform/Platform.h"
#include "schedule/LocationManager.h"
#include "schedule/ScheduleEngine.h"
#include "schedule/ScheduleTarget.h"
#include "settings/BrightnessPreset.h"
#include "settings/BrivioPreferences.h"
#include "shortcuts/ShortcutTarget.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace brivio {

class DisplayController final : public ScheduleTarget, public ShortcutTarget {
public:
    static constexpr Duration reenumerateDebounce = 200ms;
    static constexpr Duration delayedProbeFirst = 4s;
    static constexpr Duration delayedProbeSecond = 6s;
    static constexpr Duration pollInterval = 1500ms;
    static constexpr Duration pollAnimation = 500ms;

    // Without a location manager the controller keeps its own on the platform's location service.
    DisplayController(Platform& platform, BrivioPreferences& preferences,
                      LocationManager* location = nullptr);
    ~DisplayController() override;
    DisplayController(const DisplayController&) = delete;
    DisplayController& operator=(const DisplayController&) = delete;

    // Published state; observers are told after each change.
    const std::vector<ManagedDisplay>& displays() const { return displays_; }
    const std::set<std::string>& warmingUpKeys() const { return warmingUpKeys_; }
    Signal<>& displaysChanged() { return displaysChanged_; }
    Signal<>& warmingUpKeysChanged() { return warmingUpKeysChanged_; }
    // Fires once, after the first enumeration that finds a display (the schedule engine starts there).
    Signal<>& firstDisplaysFound() { return firstDisplaysFound_; }
    // Exists from the first enumeration that finds a display on.
    ScheduleEngine* scheduleEngine() { return scheduleEngine_.get(); }
    LocationManager& location() { return *location_; }
    std::size_t enumerationCount() const { return enumerationCount_; }

    // Which displays an enumeration probes, given every display it found (in published order, not yet
    // probed). The others are published with the provisional capabilities and left as they are:
    // nothing is read from them, written to them or restored on them. Unset: every display.
    using ProbeSelection = std::function<std::set<std::string>(const std::vector<ManagedDisplay>&)>;
    void limitProbes(ProbeSelection selection) { probeSelection_ = std::move(selection); }

    Task<void> enumerate();
    void scheduleImmediateReenumerate(bool retry);
    void scheduleDelayedDDCProbe();
    void startPolling();
    void shutdown();

    // Routing.
    void applyBrightness(const ManagedDisplay& display, double value, bool animated, Duration duration = 0s);
    void setAllBrightness(double value) override;
    void setDisplayContrast(double value, DisplayNumber cgID);
    void setDisplayVolume(double value, DisplayNumber cgID);
    void animateContrast(const ManagedDisplay& display, double value, Duration duration);
    void animateVolume(const ManagedDisplay& display, double value, Duration duration);
    void setExtendedDimming(bool enabled, DisplayNumber cgID);
    void seedContrastAndVolume(DisplayNumber cgID);

    // User-level rules.
    void setUserBrightness(double value, DisplayNumber cgID, bool animated, Duration duration);
    void syncFollowersToLeader();
    void stepBrightness(int direction) override;
    void applyPreset(const BrightnessPreset& preset) override;
    void applyPreviewBrightness(double value);
    void clearPreviewOverlays();
    void pauseSolarCurve();
    void resumeSolarCurve();

    // Input and power, for displays whose probe found the features; the rest are refused without a
    // word on the bus. Built-in displays are never powered off.
    Task<std::optional<std::uint8_t>> inputSource(DisplayNumber cgID);
    bool setInputSource(std::uint8_t value, DisplayNumber cgID);
    Task<bool> powerOff(DisplayNumber cgID, DDCDisplayDriver::PowerOffConfirmed confirmed);

    const ManagedDisplay* displayWithID(DisplayNumber cgID) const;
    const ManagedDisplay* displayWithKey(const std::string& key) const;

    // Extended Dimming's software share: below 20 % the gamma factor takes over the rest of the way.
    static double extendedDimmingShare(double value);

    DDCDisplayDriver& ddcDriver() { return ddcDriver_; }
    NativeDisplayDriver& nativeDriver() { return nativeDriver_; }
    OverlayDisplayDriver& overlayDriver() { return overlayDriver_; }
    GammaDimDriver& gammaDriver() { return gammaDriver_; }
    BrivioPreferences& preferences() { return preferences_; }
    BrightnessHUD& hud() { return hud_; }
    Platform& platform() { return platform_; }
    // For a display without hardware brightness: gamma instead of the overlay (Extended Dimming on an
    // external display whose gamma can be set, or no overlay that can dim).
    bool softwareDimsByGamma(const ManagedDisplay& display) const;
    bool hasAnimator(const std::string& key, DisplayControl control) const;
    std::size_t runningTaskCount() const { return tasks_.runningCount(); }

private:
    enum class Path { overlay, gamma, native, ddc };
    using StepFunction = std::function<void(double)>;
    using AnimatorMap = std::map<std::string, std::shared_ptr<DDCAnimator>>;

    // The task table's purpose of a value animation of that control.
    static std::string animationPurpose(DisplayControl control);
    ManagedDisplay buildDisplay(DisplayNumber id);
    std::string displayName(DisplayNumber id, bool isBuiltIn);
    Task<void> probeInto(ManagedDisplay& display);
    // Which software paths (overlay, gamma) the desktop offers for the display, and why none if so.
    void noteSoftwarePaths(ManagedDisplay& display);
    Task<void> restoreDimming(const ManagedDisplay& display, bool known);
    void publish(std::vector<ManagedDisplay> displays);
    void setWarmingUp(std::set<std::string> keys);
    void cancelAnimators(const std::string& key);
    // A DDC value that did not reach the monitor while it was being probed (or a walk towards it that
    // an enumeration cut short): sent once the probe has ended, from where the monitor was left.
    void holdDDCValue(const std::string& key, DisplayControl control, double target, double from);
    void resumeHeldDDCValues(const ManagedDisplay& display);
    bool extendedDimmingOn(const std::string& key) const;
    void applyOverlayLevel(const ManagedDisplay& display, double v);
    void applyGammaLevel(const ManagedDisplay& display, double f);
    void nativeWrite(const ManagedDisplay& display, double v);
    void startValueAnimation(const ManagedDisplay& display, DisplayControl control, double from, double to,
                             Duration duration, StepFunction step);
    Duration frameInterval(DisplayNumber cgID);
    AnimatorMap& animatorsFor(DisplayControl control);
    DDCAnimator& animator(const ManagedDisplay& display, DisplayControl control, double initial);
    void setInMemory(DisplayControl control, const std::string& key, double value);
    void persist(DisplayControl control, const std::string& key, double value);
    std::optional<double> remembered(DisplayControl control, const std::string& key) const;
    void pollOnce();
    void followLeader(const std::string& leaderKey, double value, Duration duration);
    // Settings another process changed, taken in as if made in the panel.
    void followExternalChange(const BrivioPreferences::ExternalChange& change);
    void adoptLevel(const ManagedDisplay& display, DisplayControl control, double value);

    Task<void> enumerateSoon(WeakPtr<DisplayController> self);
    Task<void> delayedProbe(WeakPtr<DisplayController> self);
    Task<void> pollLoop(WeakPtr<DisplayController> self);
    Task<void> drainNative(WeakPtr<DisplayController> self, ManagedDisplay display);
    Task<void> valueAnimation(WeakPtr<DisplayController> self, ManagedDisplay display, DisplayControl control,
                              double from, double to, Duration duration, StepFunction step);
    static Task<std::optional<std::uint8_t>> readInputSource(WeakPtr<DisplayController> self,
                                                             std::optional<ManagedDisplay> display);
    static Task<bool> sendPowerOff(WeakPtr<DisplayController> self, std::optional<ManagedDisplay> display);
    static Task<void> writeDDC(WeakPtr<DisplayController> self, ManagedDisplay display,
                               DisplayControl control, double value);

    Platform& platform_;
    BrivioPreferences& preferences_;
    std::vector<ManagedDisplay> displays_;
    std::set<std::string> warmingUpKeys_;
    DDCDisplayDriver ddcDriver_;
    NativeDisplayDriver nativeDriver_;
    OverlayDisplayDriver overlayDriver_;
    GammaDimDriver gammaDriver_;
    BrightnessHUD hud_;
    int reconfigurationCallback_ = -1;
    Signal<>::Subscription screenParameters_;
    Signal<const BrivioPreferences::ExternalChange&>::Subscription externalSettings_;
    bool pendingDelayedRetry_ = false;
    bool isFirstEnumeration_ = true;
    bool shutDown_ = false;
    std::size_t enumerationCount_ = 0;
    std::map<std::string, double> nativePendingValues_;
    AnimatorMap ddcAnimators_;
    AnimatorMap contrastDDCAnimators_;
    AnimatorMap volumeDDCAnimators_;
    struct HeldDDCValue {
        double target;
        double from;
    };
    std::map<std::string, std::map<DisplayControl, HeldDDCValue>> heldDDCValues_;
    // Displays whose overlay stands in for a DDC brightness write that failed.
    std::set<std::string> overlayFallbackKeys_;
    // The end value of each display's running value animation, by control.
    std::map<std::pair<std::string, DisplayControl>, double> animationEnds_;
    ProbeSelection probeSelection_;
    std::unique_ptr<LocationManager> ownLocation_;
    LocationManager* location_;
    std::unique_ptr<ScheduleEngine> scheduleEngine_;
    Signal<> displaysChanged_;
    Signal<> warmingUpKeysChanged_;
    Signal<> firstDisplaysFound_;
    TaskTable tasks_;
    WeakPtrFactory<DisplayController> weak_{this};
};

} // namespace brivio
