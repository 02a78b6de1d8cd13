#include "app/shell/X11HotKeys.h"

#include "platform/HotKeyService.h"

#include <QGuiApplication>

#ifdef BRIVIO_HAVE_X11
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
#endif

namespace brivio {

#ifdef BRIVIO_HAVE_X11

namespace {

// Stored key codes (the recorder's layout) to X keysyms: the 56 keys the recorder can name.
struct KeyEntry {
    std::uint32_t keyCode;
    unsigned long keysym;
};
constexpr KeyEntry keyTable[] = {
    {0, XK_a},       {1, XK_s},     {2, XK_d},      {3, XK_f},          {4, XK_h},      {5, XK_g},
    {6, XK_z},       {7, XK_x},     {8, XK_c},      {9, XK_v},          {11, XK_b},     {12, XK_q},
    {13, XK_w},      {14, XK_e},    {15, XK_r},     {16, XK_y},         {17, XK_t},     {31, XK_o},
    {32, XK_u},      {34, XK_i},    {35, XK_p},     {37, XK_l},         {38, XK_j},     {40, XK_k},
    {45, XK_n},      {46, XK_m},    {18, XK_1},     {19, XK_2},         {20, XK_3},     {21, XK_4},
    {23, XK_5},      {22, XK_6},    {26, XK_7},     {28, XK_8},         {25, XK_9},     {29, XK_0},
    {36, XK_Return}, {48, XK_Tab},  {49, XK_space}, {51, XK_BackSpace}, {123, XK_Left}, {124, XK_Right},
    {125, XK_Down},  {126, XK_Up},  {122, XK_F1},   {120, XK_F2},       {99, XK_F3},    {118, XK_F4},
    {96, XK_F5},     {97, XK_F6},   {98, XK_F7},    {100, XK_F8},       {101, XK_F9},   {109, XK_F10},
    {103, XK_F11},   {111, XK_F12},
};

// The lock modifiers a grab must not depend on: none, CapsLock, NumLock (Mod2), both.
constexpr std::uint16_t lockVariants[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

xcb_connection_t* xcb(void* c) {
    return static_cast<xcb_connection_t*>(c);
}

} // namespace

std::optional<unsigned long> keysymForKeyCode(std::uint32_t keyCode) {
    for (const auto& entry : keyTable)
        if (entry.keyCode == keyCode)
            return entry.keysym;
    return std::nullopt;
}

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

std::optional<unsigned long> keysymForKeyCode(std::uint32_t) {
    return std::nullopt;
}
std::uint16_t x11Modifiers(std::uint32_t) {
    return 0;
}
std::unique_ptr<X11HotKeys> X11HotKeys::create() {
    return nullptr;
}

#endif

} // namespace brivio
