#pragma once
// Global hot keys on X11: a key grab on the root window for every registration, taken with and
// without NumLock and CapsLock so that those locks do not swallow the shortcut. Off X11 there is none.

#include "platform/HotKeyService.h"

#include <QAbstractNativeEventFilter>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace brivio {

// The X11 side of a stored shortcut: the keysym for a stored key code and the X modifier mask for a
// registration's modifier mask. Absent for a key code the table does not know.
std::optional<unsigned long> keysymForKeyCode(std::uint32_t keyCode);
std::uint16_t x11Modifiers(std::uint32_t hotKeyModifiers);

class X11HotKeys final : public HotKeyService, public QAbstractNativeEventFilter {
public:
    // Null when the app does not run on an X server.
    static std::unique_ptr<X11HotKeys> create();
    ~X11HotKeys() override;

    HandlerRef installHandler(Handler handler) override;
    void removeHandler(HandlerRef handler) override;
    std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                            HotKeyID identity) override;
    void unregisterHotKey(HotKeyRef ref) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        std::uint8_t keycode = 0;
        std::uint16_t modifiers = 0;
        HotKeyID identity;
    };
    X11HotKeys(void* connection, std::uint32_t root);
    bool grab(std::uint8_t keycode, std::uint16_t modifiers);
    void ungrab(std::uint8_t keycode, std::uint16_t modifiers);

    void* connection_;
    std::uint32_t root_;
    std::map<HandlerRef, Handler> handlers_;
    std::map<HotKeyRef, Grab> grabs_;
    std::uint64_t next_ = 1;
};

} // namespace brivio
