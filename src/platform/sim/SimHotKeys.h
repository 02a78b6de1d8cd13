#pragma once
// The simulated hot-key facility: it keeps the registrations and handlers, refuses combinations
// another program holds, and lets tests press a registered key by its id or by its combination.

#include "platform/HotKeyService.h"
#include "platform/sim/SimState.h"

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace brivio {

struct HotKeyRegistration {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;
    HotKeyID identity;
    bool operator==(const HotKeyRegistration&) const = default;
};

class SimHotKeys final : public HotKeyService {
public:
    explicit SimHotKeys(SimState& state) : state_(state) {}

    HandlerRef installHandler(Handler handler) override;
    void removeHandler(HandlerRef handler) override;
    std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                            HotKeyID identity) override;
    void unregisterHotKey(HotKeyRef ref) override;

    // Registrations in force, in the order they were made.
    std::vector<HotKeyRegistration> registrations() const;
    std::size_t handlerCount() const { return handlers_.size(); }
    // Every registration asked for, refused ones included.
    std::size_t registerCalls() const { return registerCalls_; }
    // Another program holds the combination: registering it fails.
    void occupy(std::uint32_t keyCode, std::uint32_t modifiers) { occupied_.insert({keyCode, modifiers}); }

    // The user pressed the registered key with this id (or this combination). False when nothing is
    // registered so, or no handler took the press.
    bool press(std::uint32_t id);
    bool pressKey(std::uint32_t keyCode, std::uint32_t modifiers);
    // A press as the facility reports it, registered or not (a foreign signature, for instance).
    bool deliver(const HotKeyID& identity);

private:
    SimState& state_;
    std::map<HandlerRef, Handler> handlers_;
    std::map<HotKeyRef, HotKeyRegistration> registered_;
    std::set<std::pair<std::uint32_t, std::uint32_t>> occupied_;
    std::uint64_t nextRef_ = 1;
    std::size_t registerCalls_ = 0;
};

} // namespace brivio
