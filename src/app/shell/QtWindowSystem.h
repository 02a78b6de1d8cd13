#pragma once
// Overlay windows for the agent over the screens another window system reports (the screens carry the
// window server's display numbers, which Qt does not know). On a Wayland desktop the overlays are that
// window system's own layers, or there are none; on X11 they are Qt windows, placed in device pixels
// whatever Qt's scale factor, and made only where a compositing manager lets them be see-through.

#include "platform/WindowSystem.h"

#include <QObject>
#include <QRect>
#include <memory>

namespace brivio {

class QtWindowSystem final : public WindowSystem {
public:
    // `desktopDrawsOverlays`: the overlays are `desktop`'s (a Wayland desktop). Otherwise they are Qt
    // windows, made only where `canDim` (see Compositor.h).
    QtWindowSystem(WindowSystem& desktop, bool desktopDrawsOverlays, bool canDim);

    std::vector<Screen> screens() override { return desktop_.screens(); }
    std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber display, const Rect& frame) override;
    Signal<>& screenParametersChanged() override { return desktop_.screenParametersChanged(); }
    std::optional<std::string> overlayUnavailable(DisplayNumber display) override;

private:
    WindowSystem& desktop_;
    bool desktopDraws_;
    bool canDim_;
    QObject context_; // ends the Qt connections with this object
};

// Frameless, always on top, click-through, never focused; black, its window opacity the dim level.
// `frame` is in device pixels.
std::unique_ptr<OverlayWindow> makeQtOverlayWindow(const Rect& frame);

// A rectangle of device pixels on the desktop as Qt's logical coordinates: the screen it lies on keeps
// its top-left corner and divides the rest by its scale factor.
QRect logicalGeometry(const Rect& devicePixels);

} // namespace brivio
