#pragma once
// Overlay windows drawn with Qt over the screens another window system reports (the screens carry
// the window server's display numbers, which Qt does not know). Without a compositor on X11 it makes
// no windows, so the controller dims those displays through gamma instead.

#include "platform/WindowSystem.h"

#include <QObject>
#include <memory>

namespace brivio {

class QtWindowSystem final : public WindowSystem {
public:
    // `canDim`: whether window opacity shows (see Compositor.h).
    QtWindowSystem(WindowSystem& screens, bool canDim);

    std::vector<Screen> screens() override { return screens_.screens(); }
    std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber display, const Rect& frame) override;
    Signal<>& screenParametersChanged() override { return screens_.screenParametersChanged(); }
    bool overlaysCanDim() const override { return canDim_; }

private:
    WindowSystem& screens_;
    bool canDim_;
    QObject context_; // ends the Qt connections with this object
};

// Frameless, always on top, click-through, never focused; black, its window opacity the dim level.
std::unique_ptr<OverlayWindow> makeQtOverlayWindow(const Rect& frame);

} // namespace brivio
