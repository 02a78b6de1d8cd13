#include "shortcuts/StoredShortcut.h"

namespace brivio {

std::uint32_t hotKeyModifiers(std::int64_t stored) {
    std::uint32_t mask = 0;
    if (stored & ShortcutModifierBits::command)
        mask |= HotKeyModifiers::command;
    if (stored & ShortcutModifierBits::option)
        mask |= HotKeyModifiers::option;
    if (stored & ShortcutModifierBits::control)
        mask |= HotKeyModifiers::control;
    if (stored & ShortcutModifierBits::shift)
        mask |= HotKeyModifiers::shift;
    return mask;
}

std::optional<std::uint32_t> registrableKeyCode(std::int64_t stored) {
    // Key codes fit in a byte on every keyboard; a larger stored value would otherwise be cut down to
    // some unrelated key when narrowed. 0 is the A key.
    if (stored < 0 || stored > 0xFFFF)
        return std::nullopt;
    return std::uint32_t(stored);
}

} // namespace brivio
