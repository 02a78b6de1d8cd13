#pragma once
// Software dimming through the colour lookup tables: captures each display's tables when it takes the
// display over, writes scaled copies, fades between levels, rewrites tables another program reset, and
// puts the captured tables back when it lets the display go.

#include "base/TaskTable.h"
#include "base/WeakPtr.h"
#include "model/ManagedDisplay.h"
#include "platform/WindowServer.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace brivio {

class GammaDimDriver {
public:
    static constexpr float floorFactor = 0.08f;
    static constexpr Duration fadeDuration = 350ms;
    static constexpr Duration fadeStep = 16ms;
    static constexpr Duration integrityInterval = 2s;

    // max(0.08, min(0.08 + 0.92 b, 1)): gamma never darkens a screen below 8 %.
    static float factorFor(double brightness);

    struct DisplayState {
        DisplayNumber cgID = 0;
        GammaTables baseline;
        float appliedFactor = 1.0f;
        float targetFactor = 1.0f;
        TaskHandle fadeTask;
        bool releasing = false; // let go once the running fade has reached full
    };

    GammaDimDriver(MainLoop& loop, WindowServer& windowServer);
    // Puts back the captured tables of every display still attached: an owner that forgot
    // `restoreAll` must not leave screens dimmed after it is gone.
    ~GammaDimDriver();
    GammaDimDriver(const GammaDimDriver&) = delete;
    GammaDimDriver& operator=(const GammaDimDriver&) = delete;

    // True when the display is under gamma control afterwards; false for built-in displays and for
    // displays whose tables cannot be read (the caller keeps dimming those some other way).
    bool attach(const ManagedDisplay& display);
    void apply(const ManagedDisplay& display, std::optional<double> brightness);
    void fade(const std::string& key, float target);
    void restore(const std::string& key);
    void restoreAll();

    // The controller's "gamma level" step: cache the brightness and, with a state, set the factor at once.
    void setFactorNow(const std::string& key, double share);
    // Resets a display's gamma dimming to full at once (no fade) and lets the display go.
    void resetToFull(const std::string& key);
    // Fades a display to full and then lets it go: its tables are no longer watched or rewritten.
    void release(const std::string& key);
    void setCachedBrightness(const std::string& key, double brightness) {
        brightnessCache_[key] = brightness;
    }
    std::optional<double> cachedBrightness(const std::string& key) const;

    const DisplayState* state(const std::string& key) const;
    bool hasState(const std::string& key) const { return states_.count(key) != 0; }
    bool integrityRunning() const { return integrityTask_.running(); }

private:
    std::optional<GammaTables> capture(DisplayNumber display);
    void write(const DisplayState& state, float factor);
    void cancelFade(DisplayState& state);
    // Forgets a display, writing its baseline back first unless it is in force already.
    void letGo(const std::string& key, bool writeBaseline);
    void startIntegrityTask();
    void driftCheck();
    Task<void> runFade(WeakPtr<GammaDimDriver> self, std::string key, float from, float to);
    Task<void> runIntegrity(WeakPtr<GammaDimDriver> self);

    MainLoop& loop_;
    WindowServer& windowServer_;
    std::map<std::string, DisplayState> states_;
    TaskHandle integrityTask_;
    std::map<std::string, double> brightnessCache_;
    WeakPtrFactory<GammaDimDriver> weak_{this};
};

} // namespace brivio
