#pragma once
// The keys a shortcut can be recorded on: the stored key code, the X keysym that grabs it and the
// name the recorder shows. One table, read by the recorder and by the X11 hot-key backend.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brivio {

struct ShortcutKey {
    std::int64_t keyCode; // as stored ("brivio.shortcut.*.keyCode")
    std::uint32_t keysym; // X11 keysym number of the unshifted key
    std::string_view label;
};

// The 56 keys, letters first, then digits, editing keys, arrows and F1 to F12.
std::span<const ShortcutKey> shortcutKeys();

const ShortcutKey* shortcutKeyForCode(std::int64_t keyCode);
// Upper-case letter keysyms (Shift held) find their letter too.
const ShortcutKey* shortcutKeyForKeysym(std::uint32_t keysym);
// The key's name, "?" for a code the table does not know.
std::string_view shortcutKeyLabel(std::int64_t keyCode);

// "⌃⌥⇧⌘" as far as present in the stored modifiers, then the key's name.
std::string shortcutLabel(std::int64_t keyCode, std::int64_t modifiers);

} // namespace brivio
