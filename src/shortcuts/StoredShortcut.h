#pragma once
// The two brightness shortcuts as the settings store keeps them: a platform key code and modifier bits
// in the recorder's layout, per action, and how they become a hot-key registration.

#include "platform/HotKeyService.h"
#include "settings/PreferenceKeys.h"

#include <array>
#include <cstdint>
#include <optional>

namespace brivio {

// The modifier bits the recorder stores; every other bit is dropped when recording.
namespace ShortcutModifierBits {
constexpr std::int64_t shift = 0x20000;
constexpr std::int64_t control = 0x40000;
constexpr std::int64_t option = 0x80000;
constexpr std::int64_t command = 0x100000;
constexpr std::int64_t all = 0x1E0000;
} // namespace ShortcutModifierBits

struct StoredShortcut {
    const char* keyCodeKey;
    const char* modifiersKey;
    std::uint32_t hotKeyID;
    int direction;
    const char* label; // as the settings page names it
};

inline constexpr std::uint32_t shortcutSignature = fourCharCode("BRIV");

// Up first, then down: the order of registration and of the engine's stored configuration.
inline constexpr std::array<StoredShortcut, 2> storedShortcuts{{
    {prefkeys::brightnessUpKeyCode, prefkeys::brightnessUpModifiers, 100, +1, "Increase Brightness"},
    {prefkeys::brightnessDownKeyCode, prefkeys::brightnessDownModifiers, 101, -1, "Decrease Brightness"},
}};

// The registration's modifier mask from the stored bits; bits other than the four are dropped.
std::uint32_t hotKeyModifiers(std::int64_t storedModifiers);
// What the recorder stores, and an absent key code reads as, when no shortcut is set.
inline constexpr std::int64_t noShortcut = -1;

// The key code to register, or nothing when no shortcut is set: negative values and codes no keyboard
// has. 0 is a key like any other (A).
std::optional<std::uint32_t> registrableKeyCode(std::int64_t storedKeyCode);

} // namespace brivio
