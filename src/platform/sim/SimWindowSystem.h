#pragma once
// The simulated window system: one screen per plugged-in display that has one, overlay windows that
// keep their frame, opacity and open state for inspection, and the screen-parameters notification.

#include "base/WeakPtr.h"
#include "platform/WindowSystem.h"
#include "platform/sim/SimState.h"

#include <memory>

namespace brivio {

// What an overlay window looks like right now.
struct OverlayState {
    DisplayNumber createdFor = 0;
    Rect frame;
    float opacity = 0;
    bool animated = false; // the last opacity change was animated
    bool open = true;
    int opacityChanges = 0;
};

class SimWindowSystem final : public WindowSystem {
public:
    explicit SimWindowSystem(SimState& state);

    std::vector<Screen> screens() override;
    std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber display, const Rect& frame) override;
    Signal<>& screenParametersChanged() override { return screenParametersChanged_; }
    std::optional<std::string> overlayUnavailable(DisplayNumber display) override;

    // The newest open overlay over the display (placed within its bounds, or created for its number),
    // else the newest closed one; absent when there is none.
    std::optional<OverlayState> overlayFor(DisplayNumber display) const;
    // Every overlay ever created, in creation order (closed or released ones included).
    std::vector<OverlayState> overlays() const;
    // Emits screenParametersChanged on the next turn of the loop.
    void postScreensChanged();

private:
    class Window;
    friend class Window;
    SimDisplay* displayUnder(const OverlayState& window) const;

    SimState& state_;
    Signal<> screenParametersChanged_;
    std::vector<std::shared_ptr<OverlayState>> windows_;
    WeakPtrFactory<SimWindowSystem> weak{this};
};

} // namespace brivio
