#pragma once
// Whether Qt's overlay windows can dim: their opacity needs a compositor. On X11 one runs when the
// _NET_WM_CM_S<screen> selection has an owner; on Wayland Qt's windows cannot be laid over a display.

#include <optional>
#include <string>

namespace brivio {

// `platformName` is Qt's platform plugin ("xcb", "wayland", "offscreen"...); `compositorOwned` the
// X11 selection check, absent when it could not be made.
bool overlaysCanDim(const std::string& platformName, std::optional<bool> compositorOwned);

// Asks the X server the app is connected to; absent off X11 or without a connection.
std::optional<bool> x11CompositorRunning();

} // namespace brivio
