#include "platform/sim/SimHotKeys.h"

#include <fmt/format.h>

namespace brivio {

SimHotKeys::HandlerRef SimHotKeys::installHandler(Handler handler) {
    HandlerRef ref = nextRef_++;
    handlers_.emplace(ref, std::move(handler));
    return ref;
}

void SimHotKeys::removeHandler(HandlerRef handler) {
    handlers_.erase(handler);
}

std::optional<HotKeyRef> SimHotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                    HotKeyID identity) {
    ++registerCalls_;
    bool taken = occupied_.count({keyCode, modifiers}) > 0;
    for (const auto& [ref, r] : registered_)
        taken = taken || (r.keyCode == keyCode && r.modifiers == modifiers);
    state_.trace.record("hotkey", "-",
                        fmt::format("register id={} key={} modifiers=0x{:X}{}", identity.id, keyCode,
                                    modifiers, taken ? " taken" : ""));
    if (taken)
        return std::nullopt;
    HotKeyRef ref = nextRef_++;
    registered_.emplace(ref, HotKeyRegistration{keyCode, modifiers, identity});
    return ref;
}

void SimHotKeys::unregisterHotKey(HotKeyRef ref) {
    auto it = registered_.find(ref);
    if (it == registered_.end())
        return;
    state_.trace.record("hotkey", "-", fmt::format("unregister id={}", it->second.identity.id));
    registered_.erase(it);
}

std::vector<HotKeyRegistration> SimHotKeys::registrations() const {
    std::vector<HotKeyRegistration> out;
    for (const auto& [ref, r] : registered_)
        out.push_back(r);
    return out;
}

bool SimHotKeys::press(std::uint32_t id) {
    for (const auto& [ref, r] : registered_)
        if (r.identity.id == id)
            return deliver(r.identity);
    return false;
}

bool SimHotKeys::pressKey(std::uint32_t keyCode, std::uint32_t modifiers) {
    for (const auto& [ref, r] : registered_)
        if (r.keyCode == keyCode && r.modifiers == modifiers)
            return deliver(r.identity);
    return false;
}

bool SimHotKeys::deliver(const HotKeyID& identity) {
    // A handler may remove itself or others while the press is offered.
    auto snapshot = handlers_;
    for (const auto& [ref, handler] : snapshot)
        if (handlers_.count(ref) && handler(identity))
            return true;
    return false;
}

} // namespace brivio
