#include "app/shell/X11HotKeys.h"

#include "platform/HotKeyService.h"
#include "shortcuts/ShortcutKeys.h"

#include <QGuiApplication>

#ifdef BRIVIO_HAVE_X11
#include <X11/Xlib.h>
#include <xcb/xcb.h>
#endif

namespace brivio {

std::optional<unsigned long> keysymForKeyCode(std::uint32_t keyCode) {
    if (const ShortcutKey* key = shortcutKeyForCode(keyCode))
        return key->keysym;
    return std::nullopt;
}

#ifdef BRIVIO_HAVE_X11

namespace {

// The lock modifiers a grab must not depend on: none, CapsLock, NumLock (Mod2), both.
constexpr std::uint16_t lockVariants[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

xcb_connection_t* xcb(void* c) {
    return static_cast<xcb_connection_t*>(c);
}

} // namespace

std::uint16_t x11Modifiers(std::uint32_t m) {
    std::uint16_t x = 0;
    if (m & HotKeyModifiers::shift)
        x |= ShiftMask;
    if (m & HotKeyModifiers::control)
        x |= ControlMask;
    if (m & HotKeyModifiers::option)
        x |= Mod1Mask;
    if (m & HotKeyModifiers::command)
        x |= Mod4Mask;
    return x;
}

std::unique_ptr<X11HotKeys> X11HotKeys::create() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display())
        return nullptr;
    Display* display = x11->display();
    auto hotKeys = std::unique_ptr<X11HotKeys>(
        new X11HotKeys(x11->connection(), static_cast<std::uint32_t>(DefaultRootWindow(display))));
    qGuiApp->installNativeEventFilter(hotKeys.get());
    return hotKeys;
}

X11HotKeys::X11HotKeys(void* connection, std::uint32_t root) : connection_(connection), root_(root) {}

X11HotKeys::~X11HotKeys() {
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
    for (auto& [ref, g] : grabs_)
        ungrab(g.keycode, g.modifiers);
    xcb_flush(xcb(connection_));
}

HotKeyService::HandlerRef X11HotKeys::installHandler(Handler handler) {
    auto ref = next_++;
    handlers_.emplace(ref, std::move(handler));
    return ref;
}

void X11HotKeys::removeHandler(HandlerRef handler) {
    handlers_.erase(handler);
}

bool X11HotKeys::grab(std::uint8_t keycode, std::uint16_t modifiers) {
    for (auto lock : lockVariants) {
        auto cookie = xcb_grab_key_checked(xcb(connection_), 1, root_, modifiers | lock, keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        // BadAccess: another program holds the combination.
        if (xcb_generic_error_t* error = xcb_request_check(xcb(connection_), cookie)) {
            free(error);
            ungrab(keycode, modifiers);
            return false;
        }
    }
    return true;
}

void X11HotKeys::ungrab(std::uint8_t keycode, std::uint16_t modifiers) {
    for (auto lock : lockVariants)
        xcb_ungrab_key(xcb(connection_), keycode, root_, modifiers | lock);
}

std::optional<HotKeyRef> X11HotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                    HotKeyID identity) {
    auto keysym = keysymForKeyCode(keyCode);
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!keysym || !x11)
        return std::nullopt;
    KeyCode keycode = XKeysymToKeycode(x11->display(), *keysym);
    if (keycode == 0)
        return std::nullopt;
    std::uint16_t mods = x11Modifiers(modifiers);
    if (!grab(keycode, mods))
        return std::nullopt;
    xcb_flush(xcb(connection_));
    auto ref = next_++;
    grabs_.emplace(ref, Grab{keycode, mods, identity});
    return ref;
}

void X11HotKeys::unregisterHotKey(HotKeyRef ref) {
    auto it = grabs_.find(ref);
    if (it == grabs_.end())
        return;
    ungrab(it->second.keycode, it->second.modifiers);
    xcb_flush(xcb(connection_));
    grabs_.erase(it);
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    std::uint16_t state = press->state & ~(LockMask | Mod2Mask) & 0xFF;
    for (auto& [ref, g] : grabs_) {
        if (g.keycode != press->detail || g.modifiers != state)
            continue;
        HotKeyID identity = g.identity;
        auto handlers = handlers_;
        for (auto& [h, handler] : handlers)
            if (handler(identity))
                return true;
        return false;
    }
    return false;
}

#else

std::uint16_t x11Modifiers(std::uint32_t) {
    return 0;
}
std::unique_ptr<X11HotKeys> X11HotKeys::create() {
    return nullptr;
}

#endif

} // namespace brivio
