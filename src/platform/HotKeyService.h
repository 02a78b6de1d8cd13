#pragma once
// System-wide hot keys: a key combination registered under an identity; a press anywhere on the desktop
// reaches the installed handlers as that identity, on the main thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace brivio {

// The modifier mask a registration carries (a backend maps it to its own key-grab modifiers).
namespace HotKeyModifiers {
constexpr std::uint32_t command = 0x100;
constexpr std::uint32_t shift = 0x200;
constexpr std::uint32_t option = 0x800;
constexpr std::uint32_t control = 0x1000;
} // namespace HotKeyModifiers

// Four characters packed into 32 bits, the first in the most significant byte.
constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return std::uint32_t(std::uint8_t(code[0])) << 24 | std::uint32_t(std::uint8_t(code[1])) << 16 |
           std::uint32_t(std::uint8_t(code[2])) << 8 | std::uint32_t(std::uint8_t(code[3]));
}

// Who registered a hot key (signature) and which of its keys it is (id).
struct HotKeyID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
    bool operator==(const HotKeyID&) const = default;
};

using HotKeyRef = std::uint64_t;

class HotKeyService {
public:
    // True when the handler took the press; false passes it on to the next handler.
    using Handler = std::function<bool(const HotKeyID&)>;
    using HandlerRef = std::uint64_t;

    virtual ~HotKeyService() = default;

    virtual HandlerRef installHandler(Handler handler) = 0;
    virtual void removeHandler(HandlerRef handler) = 0;
    // Absent when the combination cannot be had (for example another program holds it).
    virtual std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                    HotKeyID identity) = 0;
    virtual void unregisterHotKey(HotKeyRef ref) = 0;
    // What a registration is for, in the user's words, for desktops that show it (a portal that asks
    // the user to confirm the keys); backends that take the keys themselves need not keep it.
    virtual void describe(const HotKeyID&, const std::string&) {}
};

} // namespace brivio
