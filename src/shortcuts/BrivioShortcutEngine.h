#pragma once
// The global brightness shortcuts: registers the stored combinations as hot keys, re-registers them
// when the stored values change, and steps brightness when one is pressed.

#include "base/MainLoop.h"
#include "base/Signal.h"
#include "base/WeakPtr.h"
#include "platform/HotKeyService.h"
#include "settings/KeyValueStore.h"
#include "shortcuts/ShortcutTarget.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace brivio {

class BrivioShortcutEngine {
public:
    // `defaults` is the settings store the recorder writes; every engine argument must outlive it.
    BrivioShortcutEngine(MainLoop& loop, HotKeyService& hotKeys, KeyValueStore& defaults,
                         ShortcutTarget& target);
    ~BrivioShortcutEngine();
    BrivioShortcutEngine(const BrivioShortcutEngine&) = delete;
    BrivioShortcutEngine& operator=(const BrivioShortcutEngine&) = delete;

    // Installs the press handler (once), registers the stored shortcuts and follows later changes.
    void start();
    // Re-reads the four stored integers; re-registers only when they differ from the last ones.
    void reload();

    bool started() const { return handler_.has_value(); }
    // Hot-key id (100 up, 101 down) to its registration.
    const std::map<std::uint32_t, HotKeyRef>& refs() const { return refs_; }

private:
    bool handlePress(const HotKeyID& identity);
    void unregisterAll();

    MainLoop& loop_;
    HotKeyService& hotKeys_;
    KeyValueStore& defaults_;
    ShortcutTarget& target_;
    std::map<std::uint32_t, HotKeyRef> refs_;
    std::optional<HotKeyService::HandlerRef> handler_;
    std::vector<std::int64_t> lastConfig_;
    Signal<const std::string&>::Subscription defaultsChanged_;
    WeakPtrFactory<BrivioShortcutEngine> weak_{this};
};

} // namespace brivio
