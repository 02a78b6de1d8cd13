#include "shortcuts/BrivioShortcutEngine.h"

#include "shortcuts/StoredShortcut.h"

#include <cmath>

namespace brivio {

namespace {

// Whole numbers of any stored numeric form, else `absent`: a missing key code is no shortcut, unlike a
// stored 0, which is the A key.
std::int64_t storedInteger(const KeyValueStore& defaults, const char* key, std::int64_t absent) {
    if (auto i = defaults.getAs<std::int64_t>(key))
        return *i;
    if (auto d = defaults.getNumber(key); d && std::isfinite(*d) && std::fabs(*d) < 1e15)
        return std::int64_t(*d);
    return absent;
}

} // namespace

BrivioShortcutEngine::BrivioShortcutEngine(MainLoop& loop, HotKeyService& hotKeys, KeyValueStore& defaults,
                                           ShortcutTarget& target)
    : loop_(loop), hotKeys_(hotKeys), defaults_(defaults), target_(target) {}

BrivioShortcutEngine::~BrivioShortcutEngine() {
    // The keys would stay grabbed, and their presses would reach a handler bound to a dead engine.
    unregisterAll();
    if (handler_)
        hotKeys_.removeHandler(*handler_);
}

void BrivioShortcutEngine::start() {
    if (!handler_)
        handler_ =
            hotKeys_.installHandler([this](const HotKeyID& identity) { return handlePress(identity); });
    reload();
    defaultsChanged_ = defaults_.changed.subscribe([this](const std::string&) {
        loop_.post([self = weak_.weak()] {
            if (self)
                self->reload();
        });
    });
}

void BrivioShortcutEngine::reload() {
    std::vector<std::int64_t> config;
    for (const StoredShortcut& s : storedShortcuts) {
        config.push_back(storedInteger(defaults_, s.keyCodeKey, noShortcut));
        config.push_back(storedInteger(defaults_, s.modifiersKey, 0));
    }
    if (config == lastConfig_)
        return;
    lastConfig_ = config;
    unregisterAll();
    for (std::size_t i = 0; i < storedShortcuts.size(); ++i) {
        const StoredShortcut& s = storedShortcuts[i];
        auto keyCode = registrableKeyCode(config[2 * i]);
        if (!keyCode)
            continue;
        hotKeys_.describe(HotKeyID{shortcutSignature, s.hotKeyID}, s.label);
        // A combination another program holds simply does not work; the stored value stays.
        if (auto ref = hotKeys_.registerHotKey(*keyCode, hotKeyModifiers(config[2 * i + 1]),
                                               HotKeyID{shortcutSignature, s.hotKeyID}))
            refs_[s.hotKeyID] = *ref;
    }
}

void BrivioShortcutEngine::unregisterAll() {
    for (const auto& [id, ref] : refs_)
        hotKeys_.unregisterHotKey(ref);
    refs_.clear();
}

bool BrivioShortcutEngine::handlePress(const HotKeyID& identity) {
    if (identity.signature != shortcutSignature)
        return false; // another handler's key
    loop_.post([self = weak_.weak(), id = identity.id] {
        if (!self)
            return;
        for (const StoredShortcut& s : storedShortcuts)
            if (s.hotKeyID == id)
                self->target_.stepBrightness(s.direction);
    });
    return true;
}

} // namespace brivio
