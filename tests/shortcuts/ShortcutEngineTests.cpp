#include "base/VirtualLoop.h"
#include "platform/sim/SimHotKeys.h"
#include "settings/MemoryKeyValueStore.h"
#include "settings/PreferenceKeys.h"
#include "shortcuts/BrivioShortcutEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using ::testing::ElementsAre;

constexpr std::uint32_t upArrow = 126, downArrow = 125;
constexpr std::int64_t cmdShift = 0x120000;

struct Steps : ShortcutTarget {
    std::vector<int> directions;
    void stepBrightness(int direction) override { directions.push_back(direction); }
};

class Shortcuts : public ::testing::Test {
protected:
    void store(std::int64_t upKey, std::int64_t upMods, std::int64_t downKey, std::int64_t downMods) {
        defaults.set(prefkeys::brightnessUpKeyCode, upKey);
        defaults.set(prefkeys::brightnessUpModifiers, upMods);
        defaults.set(prefkeys::brightnessDownKeyCode, downKey);
        defaults.set(prefkeys::brightnessDownModifiers, downMods);
    }
    HotKeyRegistration reg(std::uint32_t key, std::uint32_t mods, std::uint32_t id) {
        return {key, mods, HotKeyID{fourCharCode("BRIV"), id}};
    }

    VirtualLoop loop;
    SimState state{loop};
    SimHotKeys hotKeys{state};
    MemoryKeyValueStore defaults;
    Steps steps;
    std::unique_ptr<BrivioShortcutEngine> engine =
        std::make_unique<BrivioShortcutEngine>(loop, hotKeys, defaults, steps);
};

TEST_F(Shortcuts, StoredCombinationsBecomeRegistrations) {
    struct Case {
        const char* name;
        std::int64_t upKey, upMods, downKey, downMods;
        std::vector<HotKeyRegistration> expected;
    };
    const Case cases[] = {
        {"command-shift arrows",
         upArrow,
         cmdShift,
         downArrow,
         0x40000 | 0x80000,
         {reg(upArrow, 0x300, 100), reg(downArrow, 0x1800, 101)}},
        // 0 is the A key; -1 is a cleared recorder.
        {"key code 0 and -1", 0, 0xC0000, -1, 0, {reg(0, 0x1800, 100)}},
        // Caps Lock (0x10000) and Fn (0x800000) are not part of the mask.
        {"other modifier bits",
         49,
         0x10000 | 0x800000 | 0x20000,
         122,
         0,
         {reg(49, 0x200, 100), reg(122, 0, 101)}},
        {"a key code no keyboard has",
         std::int64_t(1) << 32 | 126,
         cmdShift,
         downArrow,
         cmdShift,
         {reg(downArrow, 0x300, 101)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine.reset();
        EXPECT_TRUE(hotKeys.registrations().empty()); // released with the engine
        store(c.upKey, c.upMods, c.downKey, c.downMods);
        engine = std::make_unique<BrivioShortcutEngine>(loop, hotKeys, defaults, steps);
        engine->start();
        EXPECT_EQ(hotKeys.registrations(), c.expected);
        EXPECT_EQ(engine->refs().size(), c.expected.size());
    }
    // Nothing stored at all (or only modifiers): nothing registered, no defaults.
    engine.reset();
    MemoryKeyValueStore empty;
    empty.set(prefkeys::brightnessUpModifiers, std::int64_t{0x40000});
    BrivioShortcutEngine fresh(loop, hotKeys, empty, steps);
    fresh.start();
    EXPECT_TRUE(hotKeys.registrations().empty());
}

TEST_F(Shortcuts, ReRegistersOnlyWhenTheShortcutsChange) {
    hotKeys.occupy(downArrow, 0x300); // held by another program
    store(upArrow, cmdShift, downArrow, cmdShift);
    engine->start();
    EXPECT_THAT(hotKeys.registrations(), ElementsAre(reg(upArrow, 0x300, 100)));
    EXPECT_EQ(hotKeys.registerCalls(), 2u);

    defaults.set(prefkeys::brightnessStep, 0.1); // unrelated
    loop.runUntilIdle();
    EXPECT_EQ(hotKeys.registerCalls(), 2u);

    // The recorder clears the up shortcut and records a free down one.
    defaults.set(prefkeys::brightnessUpKeyCode, std::int64_t(-1));
    defaults.set(prefkeys::brightnessUpModifiers, std::int64_t(0));
    defaults.set(prefkeys::brightnessDownModifiers, std::int64_t(0x40000));
    EXPECT_EQ(hotKeys.registrations().size(), 1u); // on the next turn of the loop, not inside the write
    loop.runUntilIdle();
    EXPECT_THAT(hotKeys.registrations(), ElementsAre(reg(downArrow, 0x1000, 101)));
    EXPECT_EQ(hotKeys.registerCalls(), 3u);
}

TEST_F(Shortcuts, PressesStepBrightness) {
    store(upArrow, cmdShift, downArrow, cmdShift);
    engine->start();
    engine->start(); // a second start installs no second handler
    EXPECT_EQ(hotKeys.handlerCount(), 1u);

    EXPECT_TRUE(hotKeys.press(100));
    EXPECT_TRUE(steps.directions.empty()); // the step runs as main-loop work of its own
    EXPECT_TRUE(hotKeys.pressKey(downArrow, 0x300));
    EXPECT_FALSE(hotKeys.deliver({fourCharCode("XKEY"), 100})); // passed on to other handlers
    EXPECT_TRUE(hotKeys.deliver({fourCharCode("BRIV"), 7}));    // ours, but no action
    loop.runUntilIdle();
    EXPECT_THAT(steps.directions, ElementsAre(+1, -1));

    // A press whose step is still queued when the engine goes away does nothing.
    EXPECT_TRUE(hotKeys.press(100));
    engine.reset();
    loop.runUntilIdle();
    EXPECT_EQ(steps.directions.size(), 2u);
    EXPECT_EQ(hotKeys.handlerCount(), 0u);
    EXPECT_FALSE(hotKeys.press(101));
}

} // namespace
} // namespace brivio
