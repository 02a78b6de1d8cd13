#pragma once
// Lists a display's modes for the panel (one per size and kind, the preferred few, every refresh
// rate), finds the current one, switches modes in a configuration transaction and turns displays.
// Keeps nothing between calls: every call asks the platform afresh.

#include "base/WeakPtr.h"
#include "model/DisplayIdentity.h"
#include "modes/DisplayResolutionMode.h"
#include "modes/RotationChain.h"

#include <optional>
#include <vector>

namespace brivio {

class DisplayModeManager {
public:
    DisplayModeManager(WindowServer& windowServer, Registry& registry, RotationService rotation = {})
        : windowServer_(windowServer), rotation_(windowServer, registry, std::move(rotation)) {}
    DisplayModeManager(const DisplayModeManager&) = delete;
    DisplayModeManager& operator=(const DisplayModeManager&) = delete;

    // One mode per (width, height, isHiDPI), the fastest of each, sorted.
    std::vector<DisplayResolutionMode> modes(DisplayNumber display) const;
    // The few the resolution dropdown shows first; a subset of `modes`.
    std::vector<DisplayResolutionMode> preferredModes(DisplayNumber display) const;
    // Every usable mode at every refresh rate, sorted.
    std::vector<DisplayResolutionMode> allModes(DisplayNumber display) const;
    // The entry of `allModes` that the display is in, or nothing.
    std::optional<DisplayResolutionMode> currentMode(DisplayNumber display) const;

    // Begin, configure, complete permanently (cancel when configuring fails). True when the display
    // switched.
    bool switchToMode(DisplayNumber display, const DisplayResolutionMode& mode) const;

    bool setRotation(int angle, DisplayNumber display) const { return rotation_.setRotation(angle, display); }
    // The display's rotation in whole degrees, truncated toward zero.
    int currentRotation(DisplayNumber display) const;

    bool isBuiltin(DisplayNumber display) const { return windowServer_.isBuiltin(display); }
    // Why the desktop offers no modes or rotation for the display; absent when it does.
    std::optional<std::string> modesUnavailable(DisplayNumber display) const {
        return windowServer_.modesUnavailable(display);
    }
    // Whether `display` is still connected and still the display `identity` describes (a number that
    // came free may be handed to another display).
    bool stillNames(DisplayNumber display, const DisplayIdentity& identity) const;

    // Countdowns that outlive a control strip end quietly once the manager is gone.
    std::weak_ptr<void> token() const { return weak.token(); }

private:
    std::vector<DisplayResolutionMode> listed(DisplayNumber display, bool logged) const;

    WindowServer& windowServer_;
    RotationChain rotation_;
    WeakPtrFactory<DisplayModeManager> weak{this};
};

// The ordering of the lists: wider first, HiDPI before standard at equal width, then faster first.
// Stable; height and pixel size are not compared.
void sortModes(std::vector<DisplayResolutionMode>& modes);

} // namespace brivio
