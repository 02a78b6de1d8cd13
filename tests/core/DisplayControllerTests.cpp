#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "core/DisplayController.h"
#include "platform/sim/SimDesk.h"
#include "settings/MemoryKeyValueStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace brivio {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// 0: the built-in panel, 1: a DDC/CI monitor, 2: a monitor without DDC/CI. Listed out of order so that
// sorting shows.
const char* desk = R"({"displays": [
    {"name": "Office 24", "vendor": 7789, "product": 1101, "serial": 81234, "unit": 2,
     "bounds": [4072, 0, 1920, 1080]},
    {"name": "Studio 27", "vendor": 16, "product": 48, "serial": 5, "unit": 1, "bounds": [1512, 0, 2560, 1440],
     "ddc": {"vcp": {"0x10": [60, 100], "0x12": [50, 100], "0x62": [30, 100]}}},
    {"name": "Built-in Display", "builtIn": true, "vendor": 1552, "product": 41139,
     "bounds": [0, 0, 1512, 982], "native": {"brightness": 0.7}}]})";
constexpr std::size_t office = 0, studio = 1, builtIn = 2;

struct ControllerTest : ::testing::Test {
    VirtualLoop loop;
    std::ostringstream trace; // outlives the desk that writes to it
    std::unique_ptr<SimDesk> sim;
    std::unique_ptr<Platform> platform;
    MemoryKeyValueStore store;
    std::unique_ptr<BrivioPreferences> prefs;
    std::unique_ptr<DisplayController> controller;

    // `windowSystem` stands in for the simulator's (it gets the screens from it).
    void start(const char* scenario = desk, WindowSystem* windowSystem = nullptr) {
        sim = std::make_unique<SimDesk>(loop, Scenario::parse(scenario, "desk.json"));
        sim->setTraceStream(&trace);
        Platform p = sim->platform();
        platform = std::make_unique<Platform>(Platform{p.loop, p.windowServer, p.registry,
                                                       windowSystem ? *windowSystem : p.windowSystem, p.clock,
                                                       p.location, p.avService, p.displayServices,
                                                       p.indicator, p.serviceClasses, p.hotKeys, p.rotation});
        prefs = std::make_unique<BrivioPreferences>(store);
        controller = std::make_unique<DisplayController>(*platform, *prefs);
        settle();
    }
    // Until the enumeration under way has published (probes take their DDC/CI waits).
    void runUntilEnumerated() {
        auto count = controller->enumerationCount();
        for (int ms = 0; ms < 10000 && controller->enumerationCount() == count; ++ms)
            loop.advance(1ms);
    }
    void settle() { ASSERT_TRUE(loop.runUntilSettled(std::chrono::minutes(5))); }
    DisplayNumber id(std::size_t index) { return *sim->displayNumber(index); }
    std::string key(std::size_t index) { return sim->stableKey(index); }
    const ManagedDisplay& display(std::size_t index) { return *controller->displayWithID(id(index)); }
    std::optional<double> brightness(std::size_t index) {
        auto& map = prefs->brightnessByDisplay();
        auto it = map.find(key(index));
        return it == map.end() ? std::nullopt : std::optional<double>(it->second);
    }
    float opacity(std::size_t index) { return sim->overlayFor(id(index))->opacity; }
    std::string lastLine(const std::string& kind) {
        std::istringstream lines(trace.str());
        std::string line, last;
        while (std::getline(lines, line))
            if (line.find(" " + kind + " ") != std::string::npos)
                last = line;
        return last;
    }
};

TEST_F(ControllerTest, FirstEnumerationSortsProbesAndReadsBack) {
    CaptureLog log;
    start();
    std::vector<std::string> keys;
    for (auto& d : controller->displays())
        keys.push_back(d.identity.stableKey());
    // Built-in first, then by stable key.
    EXPECT_THAT(keys, ElementsAre(key(builtIn), key(studio), key(office)));
    EXPECT_TRUE(log.contains("Enumerated 3 display(s)"));
    EXPECT_TRUE(display(studio).capabilities.supportsHardwareContrast);
    EXPECT_EQ(display(office).capabilities.hardwareBrightnessFallbackReason, FallbackReason::noDDC);
    // The monitors' own levels become the remembered ones; the display without a path has none.
    EXPECT_NEAR(*brightness(builtIn), 0.7, 1e-6);
    EXPECT_DOUBLE_EQ(*brightness(studio), 0.6);
    EXPECT_DOUBLE_EQ(prefs->contrastByDisplay().at(key(studio)), 0.5);
    EXPECT_FALSE(brightness(office));
    EXPECT_FLOAT_EQ(opacity(office), 0.0f);
}

TEST_F(ControllerTest, BurstOfReconfigurationsGivesOneEnumerationAfterTheLast) {
    start();
    CaptureLog log;
    auto before = controller->enumerationCount();
    for (int i = 0; i < 3; ++i) {
        sim->setBounds(office, Rect{4072, 0, 1920.0 + 10 * i, 1080});
        loop.advance(150ms);
    }
    loop.advance(49ms);
    EXPECT_EQ(log.count("Building display topology"), 0u);
    loop.advance(1ms);
    EXPECT_EQ(log.count("Building display topology"), 1u);
    settle();
    EXPECT_EQ(controller->enumerationCount(), before + 1);
}

TEST_F(ControllerTest, ReturningDisplayKeepsItsBrightnessUnderANewNumber) {
    start();
    controller->setUserBrightness(0.4, id(office), false, 0s);
    DisplayNumber oldNumber = id(office);
    sim->disconnect(office);
    loop.advance(300ms);
    settle();
    EXPECT_EQ(controller->displays().size(), 2u);
    sim->connect(office);
    loop.advance(300ms);
    settle();
    EXPECT_NE(id(office), oldNumber);
    EXPECT_DOUBLE_EQ(*brightness(office), 0.4);
    // (1 − level) × 0.75
    EXPECT_NEAR(opacity(office), 0.45f, 1e-6);
}

TEST_F(ControllerTest, DelayedReprobeWarmsUpAndEmptiesAtFourAndTenSeconds) {
    // This monitor fails its first two reads (one per probe), as monitors do while they wake up.
    start(R"({"displays": [
        {"name": "Sleepy", "vendor": 1, "product": 2, "bounds": [0, 0, 1920, 1080],
         "ddc": {"vcp": {"0x10": [40, 100]}, "failReads": 2}},
        {"name": "Mute", "vendor": 3, "product": 4, "bounds": [1920, 0, 1920, 1080]}]})");
    ASSERT_FALSE(display(0).capabilities.supportsHardwareBrightness);
    sim->disconnect(1);
    sim->connect(1);
    runUntilEnumerated();
    EXPECT_EQ(controller->warmingUpKeys(), (std::set<std::string>{key(0), key(1)}));
    loop.advance(4s);
    runUntilEnumerated();
    // The waking monitor answered at 4 s; the other is still waited for.
    EXPECT_TRUE(display(0).capabilities.supportsHardwareBrightness);
    EXPECT_EQ(controller->warmingUpKeys(), (std::set<std::string>{key(1)}));
    loop.advance(6s);
    settle();
    EXPECT_TRUE(controller->warmingUpKeys().empty());
}

TEST_F(ControllerTest, PollPicksUpAnOutsideChangeOfTheBuiltInLevel) {
    start();
    sim->setNativeBrightness(builtIn, 0.3f);
    loop.advance(DisplayController::pollInterval);
    settle();
    EXPECT_NEAR(*brightness(builtIn), 0.3, 1e-6);
}

TEST_F(ControllerTest, AnimationFollowsSmoothstepAndANewRequestCancelsTheOld) {
    start();
    controller->setUserBrightness(1.0, id(office), false, 0s);
    controller->applyBrightness(display(office), 0.2, true, 1s);
    loop.advance(500ms);
    // Half-way in time is half-way in value for smoothstep; persisted only at the end.
    EXPECT_NEAR(prefs->brightnessByDisplay().at(key(office)), 0.6, 0.05);
    EXPECT_NEAR(opacity(office), (1 - 0.6) * 0.75, 0.04);
    loop.advance(500ms);
    settle();
    EXPECT_DOUBLE_EQ(*brightness(office), 0.2);
    EXPECT_NEAR(opacity(office), 0.6f, 1e-6);

    controller->applyBrightness(display(office), 1.0, true, 1s);
    loop.advance(300ms);
    controller->applyBrightness(display(office), 0.5, false);
    settle();
    EXPECT_DOUBLE_EQ(*brightness(office), 0.5);
    EXPECT_EQ(store.getAs<DoubleDictionary>("brivio.perDisplayBrightness")->at(key(office)), 0.5);
}

TEST_F(ControllerTest, DDCWritesAreScaledAndExactOnTheWire) {
    start();
    controller->setUserBrightness(0.5, id(studio), false, 0s);
    settle();
    EXPECT_THAT(lastLine("i2c"), HasSubstr("write 37 51 84 03 10 00 32 9A"));
    EXPECT_EQ(sim->vcpValue(studio, 0x10), 50);
    controller->setDisplayContrast(0.25, id(studio));
    settle();
    EXPECT_EQ(sim->vcpValue(studio, 0x12), 25);
}

TEST_F(ControllerTest, InputAndPowerOnlyWhereTheProbeFoundThem) {
    start();
    bool studioOff = false, builtInOff = true, officeOff = true;
    auto powerOff = [](Task<bool> task, bool& out) -> Task<void> { out = co_await std::move(task); };
    DDCDisplayDriver::PowerOffConfirmed yes;
    spawn(loop, powerOff(controller->powerOff(id(builtIn), yes), builtInOff));
    spawn(loop, powerOff(controller->powerOff(id(office), yes), officeOff));
    settle();
    EXPECT_FALSE(builtInOff);
    EXPECT_FALSE(officeOff);
    EXPECT_EQ(trace.str().find(" D6 "), std::string::npos); // nothing reached a bus
    // The studio monitor has no input select: refused without a write; its power off goes out.
    EXPECT_FALSE(controller->setInputSource(0x11, id(studio)));
    spawn(loop, powerOff(controller->powerOff(id(studio), yes), studioOff));
    settle();
    EXPECT_TRUE(studioOff);
    EXPECT_THAT(lastLine("i2c"), HasSubstr("84 03 D6 00 05 6B"));
}

TEST_F(ControllerTest, ExtendedDimmingSplitsBelowTwentyPercent) {
    EXPECT_DOUBLE_EQ(DisplayController::extendedDimmingShare(0.1), 0.5);
    EXPECT_DOUBLE_EQ(DisplayController::extendedDimmingShare(0.3), 1.0);
    start();
    controller->setExtendedDimming(true, id(studio));
    settle();
    controller->setUserBrightness(0.1, id(studio), false, 0s);
    settle();
    // The monitor gets the same value, gamma takes the software share: 0.08 + 0.92 × 0.5.
    EXPECT_EQ(sim->vcpValue(studio, 0x10), 10);
    EXPECT_NEAR(sim->gammaFactor(studio), 0.54, 0.005);
    EXPECT_FLOAT_EQ(opacity(studio), 0.0f);

    // Without DDC/CI, gamma replaces the overlay for the whole range.
    controller->setExtendedDimming(true, id(office));
    settle();
    controller->setUserBrightness(0.5, id(office), false, 0s);
    settle();
    EXPECT_NEAR(sim->gammaFactor(office), 0.54, 0.005);
    EXPECT_FLOAT_EQ(opacity(office), 0.0f);
}

// An X server without a compositing manager: the desk's screens, but no overlay can be translucent.
struct NoCompositor final : WindowSystem {
    std::unique_ptr<SimDesk>& desk;
    explicit NoCompositor(std::unique_ptr<SimDesk>& d) : desk(d) {}
    std::vector<Screen> screens() override { return desk->platform().windowSystem.screens(); }
    std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber, const Rect&) override {
        return nullptr;
    }
    Signal<>& screenParametersChanged() override { return changed; }
    std::optional<std::string> overlayUnavailable(DisplayNumber) override { return "no compositing manager"; }
    Signal<> changed;
};

TEST_F(ControllerTest, WithoutTranslucentOverlaysSoftwareDisplaysDimByGamma) {
    NoCompositor windows(sim);
    start(desk, &windows);
    controller->setUserBrightness(0.5, id(office), false, 0s);
    settle();
    EXPECT_NEAR(sim->gammaFactor(office), 0.54, 0.005);
    // The DDC monitor keeps its own path and full tables.
    controller->setUserBrightness(0.5, id(studio), false, 0s);
    settle();
    EXPECT_EQ(sim->vcpValue(studio, 0x10), 50);
    EXPECT_DOUBLE_EQ(sim->gammaFactor(studio), 1.0);
}

// A desktop that lets no overlay dim (Wayland without a layer shell): gamma where it has any, nothing
// drawn where it has none, and the reason published with the display.
TEST_F(ControllerTest, WhereNoOverlayCanDimGammaDimsOrNothingIsDrawn) {
    CaptureLog log;
    start(R"({"displays": [
        {"name": "Plain", "vendor": 1, "product": 2, "unavailable": {"overlay": "no layer shell", "gamma": "no gamma control"}},
        {"name": "Gamma only", "vendor": 1, "product": 3, "unavailable": {"overlay": "no layer shell"}}]})");
    const std::size_t plain = 0, gammaOnly = 1;
    const auto& caps = display(plain).capabilities;
    EXPECT_FALSE(caps.supportsOverlayDimming);
    EXPECT_FALSE(caps.supportsGammaDimming);
    EXPECT_EQ(caps.softwareDimmingUnavailable, "no layer shell; no gamma control");
    EXPECT_FALSE(display(gammaOnly).capabilities.softwareDimmingUnavailable);

    controller->setUserBrightness(0.4, id(plain), false, 0s);
    controller->setUserBrightness(0.5, id(gammaOnly), false, 0s);
    settle();
    EXPECT_DOUBLE_EQ(*brightness(plain), 0.4); // kept for when a path appears
    EXPECT_FALSE(sim->overlayFor(id(plain)));
    EXPECT_DOUBLE_EQ(sim->gammaFactor(plain), 1.0);
    EXPECT_FALSE(log.contains("could not capture baseline"));
    EXPECT_FALSE(sim->overlayFor(id(gammaOnly)));
    EXPECT_NEAR(sim->gammaFactor(gammaOnly), 0.54, 0.005);

    // Extended Dimming changes no path there: gamma dims either way.
    controller->setExtendedDimming(false, id(gammaOnly));
    settle();
    EXPECT_NEAR(sim->gammaFactor(gammaOnly), 0.54, 0.005);
}

TEST_F(ControllerTest, PresetsSyncAndStepping) {
    start();
    auto presets = prefs->globalPresets();
    ASSERT_FALSE(presets.empty());
    BrightnessPreset preset = presets.front();
    controller->applyPreset(preset);
    settle();
    EXPECT_EQ(prefs->globalActivePresetIDStr(), preset.id.toString());
    // Every display by its own path: backlight, DDC/CI and overlay.
    EXPECT_NEAR(*sim->nativeBrightness(builtIn), preset.brightness, 0.01);
    EXPECT_EQ(sim->vcpValue(studio, 0x10), int(std::lround(preset.brightness * 100)));
    EXPECT_NEAR(opacity(office), (1 - preset.brightness) * 0.75, 1e-3);

    // A manual change ends the preset; the leader carries its followers.
    prefs->setSyncLeaderKey(key(studio));
    controller->setUserBrightness(0.3, id(studio), false, 0s);
    settle();
    EXPECT_FALSE(prefs->globalActivePresetIDStr());
    EXPECT_DOUBLE_EQ(*brightness(office), 0.3);
    EXPECT_NEAR(*brightness(builtIn), 0.3, 1e-6);

    auto shown = sim->indicatorShows().size();
    controller->stepBrightness(+1);
    settle();
    EXPECT_NEAR(*brightness(studio), 0.3 + prefs->brightnessStep(), 1e-9);
    EXPECT_NEAR(*brightness(office), 0.3 + prefs->brightnessStep(), 1e-9);
    EXPECT_EQ(sim->indicatorShows().size(), shown + 3);

    // A leader that leaves is cleared.
    sim->disconnect(studio);
    loop.advance(300ms);
    settle();
    EXPECT_FALSE(prefs->syncLeaderKey());
}

TEST_F(ControllerTest, ShutdownLeavesNoTaskNoOverlayAndNoDimmedGamma) {
    start();
    controller->setExtendedDimming(true, id(office));
    controller->setUserBrightness(0.1, id(office), true, 2s);
    controller->setUserBrightness(0.2, id(studio), true, 2s);
    loop.advance(100ms);
    controller->shutdown();
    loop.runUntilIdle();
    EXPECT_EQ(controller->runningTaskCount(), 0u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_FALSE(sim->overlayFor(id(i))->open);
    EXPECT_DOUBLE_EQ(sim->gammaFactor(office), 1.0);
    EXPECT_TRUE(loop.runUntilSettled(1s));
}

// The faults of real desks, played as scenario events would play them.
ScenarioEvent fault(DeskAction action, std::size_t display) {
    return {0s, std::nullopt, std::nullopt, action, display, 1};
}

TEST_F(ControllerTest, AFailedWriteDimsTheOverlayOnlyUntilTheMonitorTakesAValueAgain) {
    start();
    controller->setUserBrightness(0.2, id(studio), false, 0s);
    settle();
    sim->play(fault(DeskAction::refuseSetVcp, studio));
    controller->setUserBrightness(0.8, id(studio), false, 0s);
    settle();
    EXPECT_EQ(sim->vcpValue(studio, 0x10), 80);
    EXPECT_FLOAT_EQ(opacity(studio), 0.0f); // not dimmed a second time
}

TEST_F(ControllerTest, AFailedBacklightReadMovesNeitherThePanelNorItsFollowers) {
    start();
    prefs->setSyncLeaderKey(key(builtIn));
    controller->setUserBrightness(0.3, id(builtIn), false, 0s);
    settle();
    sim->play(fault(DeskAction::failBacklightReads, builtIn));
    loop.advance(DisplayController::pollInterval);
    settle();
    EXPECT_NEAR(*brightness(builtIn), 0.3, 1e-6);
    EXPECT_NEAR(*brightness(office), 0.3, 1e-6);
}

TEST_F(ControllerTest, AWalkReachesItsTargetThroughReenumerationsAndProbes) {
    start();
    controller->setUserBrightness(0.2, id(studio), false, 0s);
    settle();
    // Cut short by the enumeration that follows a reconfiguration without a change.
    controller->setUserBrightness(0.8, id(studio), false, 0s);
    loop.advance(100ms);
    sim->play(fault(DeskAction::moved, studio));
    settle();
    EXPECT_EQ(sim->vcpValue(studio, 0x10), 80);

    // Asked for while the delayed re-probe holds the monitor's writes back.
    controller->scheduleDelayedDDCProbe();
    loop.advance(DisplayController::delayedProbeFirst);
    for (int ms = 0; ms < 1000 && !controller->ddcDriver().probingKeys().count(key(studio)); ++ms)
        loop.advance(1ms);
    ASSERT_TRUE(controller->ddcDriver().probingKeys().count(key(studio)));
    controller->setUserBrightness(0.25, id(studio), false, 0s);
    controller->setDisplayContrast(0.4, id(studio));
    settle();
    EXPECT_EQ(sim->vcpValue(studio, 0x10), 25);
    EXPECT_EQ(sim->vcpValue(studio, 0x12), 40);
}

TEST_F(ControllerTest, ADepartedDisplayKeepsNoWindowButKeepsTheLevelAskedFor) {
    start();
    controller->applyBrightness(display(office), 0.2, true, 2s);
    loop.advance(300ms);
    sim->play(fault(DeskAction::unplug, office));
    loop.advance(2s);
    settle();
    EXPECT_FALSE(controller->overlayDriver().hasWindow(key(office)));
    EXPECT_DOUBLE_EQ(store.getAs<DoubleDictionary>("brivio.perDisplayBrightness")->at(key(office)), 0.2);
}

TEST_F(ControllerTest, GammaIsLeftToOtherProgramsOnceExtendedDimmingIsOff) {
    start();
    controller->setExtendedDimming(true, id(office));
    controller->setUserBrightness(0.5, id(office), false, 0s);
    settle();
    controller->setExtendedDimming(false, id(office));
    loop.advance(1s);
    EXPECT_FALSE(controller->gammaDriver().integrityRunning());
    EXPECT_NEAR(opacity(office), 0.375, 1e-3); // the overlay dims it now
    ScenarioEvent night = fault(DeskAction::writeGamma, office);
    night.gamma = {0.8, 0.8, 0.8};
    sim->play(night);
    loop.advance(5s);
    EXPECT_NEAR(sim->gammaFactor(office), 0.8, 1e-4);
}

TEST_F(ControllerTest, AManualChangeWithoutDisplaysPausesTheCurveUntilSunrise) {
    start(R"({"displays": [], "location": {"lat": 52.52, "lon": 13.4, "status": 3}})");
    prefs->setSolarCurveEnabled(true);
    controller->applyPreset(prefs->globalPresets().front());
    // 08:00 UTC on 21 June: the next sunrise in Berlin is before 03:00 UTC the next day, not 24 h on.
    ASSERT_TRUE(prefs->solarPausedUntil());
    EXPECT_LT(*prefs->solarPausedUntil(), *parseInstant("2024-06-22T03:00:00Z"));
    EXPECT_GT(*prefs->solarPausedUntil(), *parseInstant("2024-06-22T02:00:00Z"));
}

// Another process changed the settings file: the displays take the new levels as from the panel.
TEST_F(ControllerTest, LevelsChangedElsewhereReachTheDisplaysOnce) {
    start();
    controller->setUserBrightness(0.9, id(studio), false, 0s);
    settle();
    // The other process already wrote the monitor itself: it is sent the new level once, not walked there.
    sim->setVcpValue(studio, 0x10, 30);
    trace.str("");
    auto levels = prefs->brightnessByDisplay();
    levels[key(studio)] = 0.3;
    levels[key(office)] = 0.4;
    store.setElsewhere("brivio.perDisplayBrightness", DoubleDictionary(levels.begin(), levels.end()));
    store.setElsewhere("brivio.perDisplayContrast", DoubleDictionary{{key(studio), 0.2}});
    settle();
    EXPECT_EQ(sim->vcpValue(studio, 0x10), 30);
    std::istringstream lines(trace.str());
    int brightnessWrites = 0;
    for (std::string line; std::getline(lines, line);)
        brightnessWrites += line.find("write 37 51 84 03 10") != std::string::npos;
    EXPECT_EQ(brightnessWrites, 1);
    EXPECT_EQ(sim->vcpValue(studio, 0x12), 20);
    EXPECT_FLOAT_EQ(opacity(office), (1 - 0.4f) * 0.75f);

    store.setElsewhere("brivio.externalOverlayDimming", BoolDictionary{{key(office), true}});
    settle();
    EXPECT_NEAR(sim->gammaFactor(office), 0.08 + 0.92 * 0.4, 1e-3);
    EXPECT_FLOAT_EQ(opacity(office), 0.0f);
}

} // namespace
} // namespace brivio
