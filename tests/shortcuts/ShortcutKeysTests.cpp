#include "shortcuts/ShortcutKeys.h"
#include "shortcuts/StoredShortcut.h"

#include <gtest/gtest.h>
#include <set>

namespace brivio {
namespace {

TEST(ShortcutKeys, EveryKeyIsFoundBothWays) {
    std::set<std::int64_t> codes;
    std::set<std::uint32_t> keysyms;
    for (const ShortcutKey& key : shortcutKeys()) {
        codes.insert(key.keyCode);
        keysyms.insert(key.keysym);
        EXPECT_EQ(shortcutKeyForCode(key.keyCode), &key);
        EXPECT_EQ(shortcutKeyForKeysym(key.keysym), &key);
    }
    EXPECT_EQ(codes.size(), 56u);
    EXPECT_EQ(keysyms.size(), 56u);
    // With Shift held the server reports the upper-case letter.
    EXPECT_EQ(shortcutKeyForKeysym(0x41), shortcutKeyForCode(0));
    EXPECT_EQ(shortcutKeyForKeysym(0xffe1), nullptr); // Shift itself
}

TEST(ShortcutKeys, LabelsPutModifiersInTheirOrder) {
    using namespace ShortcutModifierBits;
    EXPECT_EQ(shortcutLabel(126, shift | command), "⇧⌘↑");
    EXPECT_EQ(shortcutLabel(0, all), "⌃⌥⇧⌘A");
    EXPECT_EQ(shortcutLabel(49, control), "⌃Space");
    EXPECT_EQ(shortcutLabel(111, option), "⌥F12");
    EXPECT_EQ(shortcutLabel(200, control), "⌃?");
}

} // namespace
} // namespace brivio
