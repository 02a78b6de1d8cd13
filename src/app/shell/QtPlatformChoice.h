#pragma once
// Which Qt platform plugins the agent tries, in order (QT_QPA_PLATFORM's list form): the session's
// own first, then the other one, then "offscreen", which always loads. A Wayland session without Qt's
// Wayland plugin and without Xwayland must not stop the agent: it starts and says what it cannot show.

#include <string>

namespace brivio {

// The arguments are the environment's $WAYLAND_DISPLAY, $DISPLAY and $XDG_CURRENT_DESKTOP (null when unset).
std::string qtPlatformOrder(const char* waylandDisplay, const char* x11Display, const char* currentDesktop);

} // namespace brivio
