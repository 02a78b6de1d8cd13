#include "app/shell/QtPlatformChoice.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace brivio {

namespace {
bool nonEmpty(const char* value) {
    return value && *value;
}
} // namespace

std::string qtPlatformOrder(const char* waylandDisplay, const char* x11Display, const char* currentDesktop) {
    std::string desktop = currentDesktop ? currentDesktop : "";
    std::transform(desktop.begin(), desktop.end(), desktop.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (nonEmpty(waylandDisplay))
        // Qt itself prefers Xwayland on GNOME, whose compositor draws no decorations for Qt's windows.
        return desktop.find("gnome") != std::string::npos ? "xcb;wayland;offscreen" : "wayland;xcb;offscreen";
    if (nonEmpty(x11Display))
        return "xcb;offscreen";
    return "offscreen";
}

} // namespace brivio
