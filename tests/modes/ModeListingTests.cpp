#include "base/Log.h"
#include "modes/DisplayModeManager.h"
#include "modes/ModeFakes.h"
#include "modes/ModePills.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

using testing::FakeRegistry;
using testing::FakeWindowServer;
using testing::platformModes;
using testing::pm;

std::vector<std::string> ids(const std::vector<DisplayResolutionMode>& modes) {
    std::vector<std::string> out;
    for (auto& m : modes)
        out.push_back(m.id());
    return out;
}

struct Listing {
    FakeWindowServer server;
    FakeRegistry registry;
    DisplayModeManager manager{server, registry};
    explicit Listing(std::vector<PlatformMode> modes, bool builtin = false) {
        server.modes = platformModes(std::move(modes));
        server.builtin = builtin;
    }
};

TEST(ModeListing, FiltersDeduplicatesAndSorts) {
    struct Case {
        const char* name;
        std::vector<PlatformMode> raw;
        std::vector<std::string> modes;
        std::vector<std::string> all;
    };
    const Case cases[] = {
        {"size limits are strict: 320 wide or 200 tall never listed",
         {pm(320, 240, 320, 240, 60), pm(400, 200, 400, 200, 60), pm(321, 201, 321, 201, 60)},
         {"321x201_321x201@60"},
         {"321x201_321x201@60"}},
        {"no GUI-usable mode: the size-limited pass without that test",
         {pm(1920, 1080, 1920, 1080, 60, false), pm(300, 300, 300, 300, 60, false)},
         {"1920x1080_1920x1080@60"},
         {"1920x1080_1920x1080@60"}},
        {"the unusable are dropped when some mode is usable",
         {pm(2560, 1440, 2560, 1440, 60, false), pm(1920, 1080, 1920, 1080, 60)},
         {"1920x1080_1920x1080@60"},
         {"1920x1080_1920x1080@60"}},
        {"fastest per size and kind; every rate in the full list",
         {pm(2560, 1440, 5120, 2880, 60), pm(2560, 1440, 5120, 2880, 144)},
         {"2560x1440_5120x2880@144"},
         {"2560x1440_5120x2880@144", "2560x1440_5120x2880@60"}},
        {"equal rates keep the first; pixel size plays no part",
         {pm(1920, 1080, 3840, 2160, 60), pm(1920, 1080, 2880, 1620, 60)},
         {"1920x1080_3840x2160@60"},
         {"1920x1080_3840x2160@60", "1920x1080_2880x1620@60"}},
        {"wider first, HiDPI before standard, then faster",
         {pm(1920, 1080, 1920, 1080, 60), pm(1920, 1080, 3840, 2160, 60), pm(2560, 1440, 2560, 1440, 60)},
         {"2560x1440_2560x1440@60", "1920x1080_3840x2160@60", "1920x1080_1920x1080@60"},
         {"2560x1440_2560x1440@60", "1920x1080_3840x2160@60", "1920x1080_1920x1080@60"}},
        {"rates truncate toward zero in ids",
         {pm(1920, 1080, 1920, 1080, 59.94), pm(1920, 1080, 1920, 1080, 75)},
         {"1920x1080_1920x1080@75"},
         {"1920x1080_1920x1080@75", "1920x1080_1920x1080@59"}},
    };
    for (const auto& c : cases) {
        Listing l(c.raw);
        EXPECT_EQ(ids(l.manager.modes(FakeWindowServer::display)), c.modes) << c.name;
        EXPECT_EQ(ids(l.manager.allModes(FakeWindowServer::display)), c.all) << c.name;
    }
}

TEST(ModeListing, MissingListIsLoggedAndEmpty) {
    CaptureLog log;
    Listing l({});
    l.server.modes.reset();
    EXPECT_TRUE(l.manager.modes(FakeWindowServer::display).empty());
    EXPECT_TRUE(log.contains("DisplayModeManager: modes(7): CGDisplayCopyAllDisplayModes returned nil"));
}

std::vector<PlatformMode> widths(std::vector<std::uint32_t> pixelWidths, bool hiDPI) {
    std::vector<PlatformMode> out;
    for (auto w : pixelWidths)
        out.push_back(pm(hiDPI ? w / 2 : w, 800, w, 1600, 60));
    return out;
}

TEST(ModeListing, PreferredModes) {
    struct Case {
        const char* name;
        std::vector<PlatformMode> raw;
        bool builtin;
        std::size_t count;
    };
    const Case cases[] = {
        {"external, nothing below half the widest: two thirds",
         widths({3840, 3000, 2560, 2400, 2200, 2100, 2000, 1950, 1920}, false), false, 6},
        {"external, a single mode: none", widths({1920}, false), false, 0},
        {"external, 3840 and 1280: the sharp ones only", widths({3840, 3840 - 2, 1280}, false), false, 2},
        {"built-in: the first five HiDPI", widths({3600, 3400, 3200, 3000, 2800, 2600, 2400}, true), true, 5},
        {"built-in without HiDPI: the first five of all", widths({3600, 3400, 3200, 3000, 2800, 2600}, false),
         true, 5},
        {"empty list", {}, false, 0},
    };
    for (const auto& c : cases) {
        Listing l(c.raw, c.builtin);
        auto preferred = l.manager.preferredModes(FakeWindowServer::display);
        auto modes = l.manager.modes(FakeWindowServer::display);
        ASSERT_EQ(preferred.size(), c.count) << c.name;
        for (std::size_t i = 0; i < preferred.size(); ++i)
            EXPECT_EQ(preferred[i], modes[i]) << c.name;
    }
}

TEST(ModeListing, CurrentModeMatchesSizeThenRate) {
    struct Case {
        const char* name;
        std::vector<PlatformMode> listed;
        PlatformMode current;
        std::optional<std::string> found;
    };
    const Case cases[] = {
        {"the listed rate before a faster one",
         {pm(1920, 1080, 1920, 1080, 75), pm(1920, 1080, 1920, 1080, 59.94)},
         pm(1920, 1080, 1920, 1080, 59.94),
         "1920x1080_1920x1080@59"},
        {"within half a hertz",
         {pm(1920, 1080, 1920, 1080, 60)},
         pm(1920, 1080, 1920, 1080, 59.94),
         "1920x1080_1920x1080@60"},
        {"the nearest rate, not the first near one",
         {pm(1920, 1080, 1920, 1080, 60), pm(1920, 1080, 1920, 1080, 59.94)},
         pm(1920, 1080, 1920, 1080, 59.95),
         "1920x1080_1920x1080@59"},
        {"the platform's own mode whatever rate it reads",
         {pm(1920, 1080, 1920, 1080, 60), pm(1920, 1080, 1920, 1080, 59.94)},
         PlatformMode{2, 1920, 1080, 1920, 1080, 60.0, true},
         "1920x1080_1920x1080@59"},
        {"other rate only by size",
         {pm(1920, 1080, 1920, 1080, 50)},
         pm(1920, 1080, 1920, 1080, 59.94),
         "1920x1080_1920x1080@50"},
        {"pixel height is not compared",
         {pm(1920, 1080, 3840, 2000, 60)},
         pm(1920, 1080, 3840, 2160, 60),
         "1920x1080_3840x2000@60"},
        {"pixel width is", {pm(1920, 1080, 3840, 2160, 60)}, pm(1920, 1080, 1920, 1080, 60), std::nullopt},
    };
    for (const auto& c : cases) {
        Listing l(c.listed);
        l.server.current = c.current;
        auto found = l.manager.currentMode(FakeWindowServer::display);
        EXPECT_EQ(found ? std::optional(found->id()) : std::nullopt, c.found) << c.name;
        if (found) { // the listed entry, with its own handle
            EXPECT_NE(found->cgMode.handle, 0u) << c.name;
        }
    }
    Listing none({pm(1920, 1080, 1920, 1080, 60)});
    EXPECT_FALSE(none.manager.currentMode(FakeWindowServer::display));
}

TEST(ModePills, TextsAndRows) {
    auto mode = [](std::uint32_t w, std::uint32_t h, std::uint32_t pw, double hz) {
        return DisplayResolutionMode::fromPlatform(pm(w, h, pw, h * pw / w, hz));
    };
    EXPECT_EQ(mode(1512, 982, 3024, 60).label(), "1512 \u00d7 982 HiDPI");
    EXPECT_EQ(mode(1920, 1080, 1920, 60).label(), "1920 \u00d7 1080");

    const std::pair<double, const char*> rates[] = {{60.0, "60 Hz"}, {59.94, "59.9 Hz"}, {0, "\u2014"}};
    for (auto [hz, row] : rates)
        EXPECT_EQ(refreshRateRowTitle(hz), row);
    EXPECT_EQ(refreshRatePillText(mode(1920, 1080, 1920, 0)), "Hz");
    EXPECT_EQ(refreshRatePillText(std::nullopt), "Hz");
    EXPECT_EQ(refreshRatePillText(mode(1920, 1080, 1920, 144)), "144 Hz");

    ModeList all{mode(1920, 1080, 1920, 60), mode(1920, 1080, 1920, 144), mode(1920, 1080, 3840, 120),
                 mode(1280, 720, 1280, 60)};
    CurrentMode current = all[0];
    auto options = refreshOptions(all, current);
    ASSERT_EQ(ids(options), (std::vector<std::string>{"1920x1080_1920x1080@144", "1920x1080_1920x1080@60"}));
    auto rows = refreshRateRows(options, current, {});
    EXPECT_FALSE(rows[0].isChecked);
    EXPECT_TRUE(rows[1].isChecked);
    auto pill = refreshRatePill({options[0]}, current);
    EXPECT_FALSE(pill.enabled);
    EXPECT_EQ(pill.opacity, 0.35);
    EXPECT_EQ(pill.helpText, "Only one refresh rate available for this resolution");

    // A resolution row is checked by size alone, whatever its rate.
    auto resolution = resolutionRows(all, current, {});
    EXPECT_TRUE(resolution[1].isChecked);
    EXPECT_FALSE(resolution[2].isChecked);
}

TEST(ModePills, HiDPIToggleTarget) {
    auto mode = [](std::uint32_t w, bool hiDPI, double hz) {
        return DisplayResolutionMode::fromPlatform(pm(w, 1000, hiDPI ? w * 2 : w, 1000, hz));
    };
    ModeList modes{mode(1680, true, 60), mode(1920, true, 60), mode(1920, true, 120), mode(1920, false, 60)};
    EXPECT_EQ(hiDPIToggleTarget(modes, modes[3]), modes[2]);
    EXPECT_EQ(hiDPIToggleTarget(modes, modes[0]), modes[3]);
    // Without a current mode the HiDPI modes are the candidates, nearest to the first mode's width.
    EXPECT_EQ(hiDPIToggleTarget(modes, std::nullopt), modes[0]);
    EXPECT_FALSE(hiDPIToggleTarget({modes[3]}, modes[3]));
}

} // namespace
} // namespace brivio
