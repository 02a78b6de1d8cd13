#include "app/shell/Compositor.h"

#include <QGuiApplication>

#ifdef BRIVIO_HAVE_X11
#include <X11/Xlib.h>
#include <string>
#endif

namespace brivio {

bool overlaysCanDim(const std::string& platformName, std::optional<bool> compositorOwned) {
    if (platformName == "xcb")
        return compositorOwned.value_or(false);
    // A Qt window on Wayland can be neither placed over a display nor kept out of the input: the
    // desktop's own layers dim there, or nothing does.
    if (platformName.starts_with("wayland"))
        return false;
    // Offscreen and the like draw what they are told, where nobody sees it.
    return true;
}

std::optional<bool> x11CompositorRunning() {
#ifdef BRIVIO_HAVE_X11
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return std::nullopt;
    Display* display = x11->display();
    std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    Atom atom = XInternAtom(display, name.c_str(), False);
    return XGetSelectionOwner(display, atom) != None;
#else
    return std::nullopt;
#endif
}

} // namespace brivio
