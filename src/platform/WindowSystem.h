#pragma once
// The window system: screens with their display number, frame and frame rate, borderless overlay
// windows that dim a display, and the screen-parameters notification.

#include "base/Signal.h"
#include "platform/Geometry.h"
#include "platform/WindowServer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

struct Screen {
    DisplayNumber number = 0;
    Rect frame;
    std::string localizedName;
    int maximumFramesPerSecond = 60;
};

// A click-through, always-on-top black window over one display; its opacity is the dim level.
class OverlayWindow {
public:
    virtual ~OverlayWindow() = default;
    virtual void setFrame(const Rect& frame) = 0;
    // Animated: 0.35 s ease-in-ease-out; otherwise at once.
    virtual void setOpacity(float opacity, bool animated) = 0;
    // False when the window has no layer to dim (dim changes are then ignored).
    virtual bool hasLayer() const { return true; }
    virtual void close() = 0;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    virtual std::vector<Screen> screens() = 0;
    // A borderless overlay at `frame`, shown at once with opacity 0; null when windows cannot be made.
    virtual std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber display, const Rect& frame) = 0;
    virtual Signal<>& screenParametersChanged() = 0;
    // Why no overlay can dim `display`, in plain words; absent when one can: translucent, click-through,
    // on top and exactly over it. Elsewhere an overlay would black the display out or dim the wrong
    // place, so none is made and the display dims by gamma, or not at all.
    virtual std::optional<std::string> overlayUnavailable(DisplayNumber) { return std::nullopt; }

    std::optional<Screen> screenFor(DisplayNumber display) {
        for (auto& s : screens())
            if (s.number == display)
                return s;
        return std::nullopt;
    }
};

} // namespace brivio
