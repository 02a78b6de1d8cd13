#include "base/VirtualLoop.h"
#include "model/DisplayName.h"
#include "platform/sim/SimDesk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace brivio {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

const char* desk = R"({"displays": [
    {"name": "Built-in Display", "builtIn": true, "vendor": 1552, "product": 41139,
     "bounds": [0, 0, 1512, 982], "native": {"brightness": 0.7}},
    {"name": "Studio 27", "vendor": 16, "product": 48, "serial": 5, "unit": 1, "bounds": [1512, 0, 2560, 1440],
     "ddc": {"vcp": {"0x10": [60, 100]}}, "calibration": {"red": 0.5},
     "modes": [{"width": 2560, "height": 1440, "current": true}, {"width": 1920, "height": 1080, "refreshRate": 50}]},
    {"name": "Plain", "bounds": [4072, 0, 1920, 1080], "screen": false}],
    "location": {"lat": 52.52, "lon": 13.405, "status": 3}})";

struct DeskTest : ::testing::Test {
    VirtualLoop loop;
    SimDesk sim{loop, Scenario::parse(desk, "desk.json")};
    Platform p = sim.platform();
    std::vector<std::pair<DisplayNumber, std::uint32_t>> calls;

    void listen() {
        p.windowServer.registerReconfigurationCallback(
            [this](DisplayNumber n, std::uint32_t f) { calls.emplace_back(n, f); });
    }
};

TEST(SimDeskEvents, SleepsAndClockJumpsHappenInVirtualTime) {
    VirtualLoop loop;
    SimDesk sim{loop, Scenario::parse(R"({"clock": {"start": "2024-06-21T04:00:00Z"},
        "events": [{"atMs": 60000, "sleepForMs": 28800000}, {"atMs": 120000, "clockJumpMs": -3600000}]})",
                                      "events.json")};
    Platform p = sim.platform();
    std::vector<std::pair<WallTime, std::string>> seen;
    auto w = p.clock.didWake().subscribe([&] { seen.emplace_back(p.clock.now(), "wake"); });
    auto c = p.clock.clockChanged().subscribe([&] { seen.emplace_back(p.clock.now(), "set"); });
    loop.advance(59s);
    EXPECT_TRUE(seen.empty());
    loop.advance(2min);
    EXPECT_THAT(seen, ElementsAre(Pair(*parseInstant("2024-06-21T12:01:00Z"), "wake"),
                                  Pair(*parseInstant("2024-06-21T11:02:00Z"), "set")));
}

TEST(SimDeskEvents, FaultsOfRealDesksPlayAtTheirMomentWithoutHoldingARunOpen) {
    VirtualLoop loop;
    SimDesk sim{loop, Scenario::parse(R"({"displays": [
        {"name": "Panel", "builtIn": true, "native": {"brightness": 0.5}},
        {"name": "Studio", "vendor": 16, "product": 48, "ddc": {"vcp": {"0x10": [60, 100]}}}],
        "events": [{"atMs": 1000, "refuseSetVcp": {"display": 1}}, {"atMs": 2000, "ddcStops": 1},
            {"atMs": 3000, "ddcAnswers": 1}, {"atMs": 4000, "failBacklightReads": {"display": 0, "count": 2}},
            {"atMs": 5000, "writeGamma": {"display": 1, "blue": 0.5}}, {"atMs": 6000, "moved": 1},
            {"atMs": 7000, "unplug": 1}, {"atMs": 7200000, "plug": 1}]})",
                                      "faults.json")};
    Platform p = sim.platform();
    std::vector<std::uint32_t> flags;
    p.windowServer.registerReconfigurationCallback(
        [&](DisplayNumber, std::uint32_t f) { flags.push_back(f); });
    EXPECT_TRUE(loop.runUntilSettled(1s)) << "events still to come are no work left undone";

    auto channel =
        p.avService.createWithService(p.registry.matchingServices("DCPAVServiceProxy").services.at(0));
    auto setBrightness = [&](std::uint8_t v) {
        std::uint8_t b[] = {0x84, 0x03, 0x10, 0x00, v, 0};
        b[5] = 0x6E ^ 0x51 ^ b[0] ^ b[1] ^ b[2] ^ b[3] ^ b[4];
        return p.avService.writeI2C(channel, 0x37, 0x51, b, sizeof b);
    };
    loop.advance(1s);
    EXPECT_NE(setBrightness(30), 0);
    EXPECT_EQ(setBrightness(30), 0);
    loop.advance(1s);
    setBrightness(40);
    EXPECT_EQ(sim.vcpValue(1, 0x10), 30) << "nobody answers";
    loop.advance(1s);
    setBrightness(40);
    EXPECT_EQ(sim.vcpValue(1, 0x10), 40);

    loop.advance(1s);
    float level = 0;
    EXPECT_NE(p.displayServices.getBrightness(*sim.displayNumber(0), level), 0);
    loop.advance(1s);
    EXPECT_FLOAT_EQ(sim.gammaTables(1).blue.back(), 0.5f);
    loop.advance(1s);
    EXPECT_THAT(flags, ElementsAre(ReconfigurationFlags::moved));
    loop.advance(1s);
    EXPECT_FALSE(sim.displayNumber(1));
    loop.advance(2h);
    EXPECT_TRUE(sim.displayNumber(1));
}

TEST_F(DeskTest, HotPlugRenumbersAndCallsBackThroughTheLoop) {
    EXPECT_EQ(p.windowServer.activeDisplays(), (std::vector<DisplayNumber>{1, 2, 3}));
    listen();
    int screenChanges = 0;
    auto sub = p.windowSystem.screenParametersChanged().subscribe([&] { ++screenChanges; });

    EXPECT_TRUE(sim.disconnect(1));
    EXPECT_FALSE(sim.disconnect(1));
    EXPECT_TRUE(calls.empty()); // delivered later, as from another thread
    loop.runUntilIdle();
    EXPECT_THAT(calls, ElementsAre(Pair(2u, ReconfigurationFlags::remove)));
    EXPECT_EQ(p.windowServer.onlineDisplays(), (std::vector<DisplayNumber>{1, 3}));
    EXPECT_EQ(p.windowServer.vendorNumber(2), 0u);

    calls.clear();
    EXPECT_TRUE(sim.connect(1));
    loop.runUntilIdle();
    EXPECT_EQ(sim.displayNumber(1), 4u);
    EXPECT_THAT(calls,
                ElementsAre(Pair(4u, ReconfigurationFlags::add), Pair(4u, ReconfigurationFlags::enabled)));
    EXPECT_EQ(p.windowServer.vendorNumber(4), 16u);
    EXPECT_EQ(screenChanges, 2);
    EXPECT_EQ(sim.stableKey(1), "v16-p48-s5");

    // An unregistered callback is not called for events still queued.
    calls.clear();
    sim.disconnect(1);
    p.windowServer.unregisterReconfigurationCallback(1);
    loop.runUntilIdle();
    EXPECT_TRUE(calls.empty());
}

TEST_F(DeskTest, GammaTablesRestoreToTheCalibration) {
    GammaTables t;
    ASSERT_EQ(p.windowServer.getTransferTables(2, t), 0);
    EXPECT_FLOAT_EQ(t.red[255], 0.5f);
    EXPECT_FLOAT_EQ(t.green[51], 0.2f);
    for (auto& v : t.red)
        v *= 0.5f;
    ASSERT_EQ(p.windowServer.setTransferTables(2, t), 0);
    EXPECT_DOUBLE_EQ(sim.gammaFactor(1), 0.5);

    GammaTables reset = sim.calibration(1);
    sim.overwriteGamma(1, reset); // another program puts its own tables in
    GammaTables read;
    p.windowServer.getTransferTables(2, read);
    EXPECT_EQ(read, reset);

    p.windowServer.setTransferTables(2, t);
    p.windowServer.restoreColorSyncSettings();
    EXPECT_EQ(sim.gammaTables(1), sim.calibration(1));
    EXPECT_NE(p.windowServer.getTransferTables(99, read), 0);
}

TEST_F(DeskTest, TraceLinesCarryTimeKindKeyAndDetails) {
    std::ostringstream out;
    sim.setTraceStream(&out);
    AVServiceHandle h =
        p.avService.createWithService(p.registry.matchingServices("DCPAVServiceProxy").services[0]);
    loop.advance(120ms);
    std::uint8_t set[] = {0x84, 0x03, 0x10, 0x00, 0x32, 0x9A};
    p.avService.writeI2C(h, 0x37, 0x51, set, 6);
    std::uint8_t reply[2];
    p.avService.readI2C(h, 0x37, 0, reply, 2);
    p.displayServices.setBrightness(1, 0.25f);
    auto overlay = p.windowSystem.createOverlayWindow(3, {4072, 0, 1920, 1080});
    overlay->setOpacity(0.3f, true);
    GammaTables t = sim.calibration(1);
    for (auto& v : t.red)
        v *= 0.54f;
    p.windowServer.setTransferTables(2, t);
    p.indicator->show(1, 46, 100, 1000);
    overlay->close();
    EXPECT_EQ(out.str(), "120 i2c v16-p48-s5 write 37 51 84 03 10 00 32 9A\n"
                         "120 i2c v16-p48-s5 read 37 00 -> 00 00\n"
                         "120 native v1552-p41139-s0-u0 0.2500\n"
                         "120 overlay name-Plain 0.3000\n"
                         "120 gamma v16-p48-s5 0.5400\n"
                         "120 osd v1552-p41139-s0-u0 46/100\n"
                         "120 overlay name-Plain closed\n");
    EXPECT_EQ(sim.overlayFor(3)->opacity, 0.3f);
    EXPECT_FALSE(sim.overlayFor(3)->open);
}

TEST_F(DeskTest, RegistryPublishesWhatTheMatchingReads) {
    auto av = p.registry.matchingServices("DCPAVServiceProxy");
    // Every external monitor has one, answering over DDC/CI or not; the built-in panel has none.
    ASSERT_EQ(av.services.size(), 2u);
    auto props = p.registry.properties(av.services[0]);
    ASSERT_TRUE(props);
    EXPECT_EQ(props->at("DisplayVendorID").asUInt32(), 16u);
    EXPECT_EQ(props->at("DisplayUnit").asUInt32(), 1u);
    EXPECT_TRUE(props->count("IOAVServiceUserInterfaceSupported"));
    EXPECT_FALSE(props->count("EDID"));
    auto edid = p.registry.searchPropertyWithParents(av.services[0], "EDID");
    ASSERT_TRUE(edid && edid->asBytes());
    EXPECT_EQ(productNameFromEdid(*edid->asBytes(), 16, 48), "Studio 27");
    unsigned sum = 0;
    for (auto b : *edid->asBytes())
        sum += b;
    EXPECT_EQ(sum % 256, 0u);

    auto displays = p.registry.matchingServices("AppleDisplay");
    EXPECT_EQ(displays.services.size(), 3u);
    EXPECT_FALSE(p.avService.createWithService(displays.services[0]));
    EXPECT_EQ(p.registry.matchingServices("NoSuchClass").result, 0);
    EXPECT_TRUE(p.registry.matchingServices("NoSuchClass").services.empty());

    // The plain monitor has no screen: the system names it from its EDID, as its key shows.
    EXPECT_EQ(sim.stableKey(2), "name-Plain");
    sim.disconnect(1);
    EXPECT_EQ(p.registry.matchingServices("DCPAVServiceProxy").services.size(), 1u);
    EXPECT_FALSE(p.registry.properties(av.services[0]));
}

TEST(SimRegistry, ConfiguredServicesExerciseEveryMatchingRule) {
    VirtualLoop loop;
    SimDesk sim(loop,
                Scenario::parse(R"({"displays": [{"name": "X", "vendor": 16, "product": 48, "services": [
        {"class": "AGXDisplay", "vendor": 16, "product": 48, "attributesOnly": true, "propertiesUnreadable": true},
        {"class": "DisplayLinkFramebuffer", "unit": 3, "unitKey": "IOFramebufferOpenGLIndex", "avCapable": true},
        {"class": "IOFramebuffer", "unit": 2, "unitKey": "IOFramebufferUnitNumber"}]}]})",
                                "t.json"));
    Platform p = sim.platform();
    auto agx = p.registry.matchingServices("AGXDisplay").services.at(0);
    EXPECT_FALSE(p.registry.properties(agx));
    auto attributes = p.registry.property(agx, "IODisplayAttributes");
    ASSERT_TRUE(attributes && attributes->asDictionary());
    EXPECT_EQ(attributes->asDictionary()->at("DisplayProductID").asUInt32(), 48u);
    EXPECT_FALSE(p.avService.createWithService(agx));

    auto link = p.registry.matchingServices("DisplayLinkFramebuffer").services.at(0);
    EXPECT_EQ(p.registry.properties(link)->at("IOFramebufferOpenGLIndex").asUInt32(), 3u);
    EXPECT_TRUE(p.avService.createWithService(link));
    EXPECT_NE(agx.registryID, link.registryID);

    auto fb = p.registry.matchingServices("IOFramebuffer").services.at(0);
    EXPECT_NE(p.registry.setIntegerParameter(fb, "Rotation", 45), 0);
    EXPECT_EQ(p.registry.setIntegerParameter(fb, "Rotation", 90), 0);
    EXPECT_EQ(p.windowServer.rotation(1), 90);
    EXPECT_EQ(p.windowServer.bounds(1), (Rect{0, 0, 1080, 1920}));
}

TEST(SimDesk, NumbersKeysAndOverlaysFollowTheirDisplays) {
    VirtualLoop loop;
    SimDesk sim(loop, Scenario::parse(R"({"displays": [
        {"name": "Twin", "vendor": 8718, "product": 9473, "unit": 1, "displayNumber": 2},
        {"name": "Twin", "vendor": 8718, "product": 9473, "unit": 2},
        {"name": "A very long monitor name", "screen": false, "connected": false}]})",
                                      "t.json"));
    Platform p = sim.platform();
    EXPECT_EQ(sim.displayNumber(0), 2u);
    EXPECT_EQ(sim.displayNumber(1), 1u);
    EXPECT_FALSE(sim.displayNumber(2));
    EXPECT_EQ(sim.stableKey(0), "v8718-p9473-s0-u1");
    EXPECT_EQ(sim.stableKey(1), "v8718-p9473-s0-u2");

    sim.connect(2);
    EXPECT_EQ(sim.displayNumber(2), 3u);
    EXPECT_EQ(sim.stableKey(2), "name-A_very_long_m"); // an EDID holds 13 characters of the name

    auto window = p.windowSystem.createOverlayWindow(1, p.windowServer.bounds(1));
    window->setOpacity(0.5f, false);
    sim.disconnect(1);
    sim.connect(1);
    DisplayNumber renumbered = *sim.displayNumber(1);
    EXPECT_EQ(renumbered, 4u);
    window->setFrame(p.windowServer.bounds(renumbered));
    ASSERT_TRUE(sim.overlayFor(renumbered));
    EXPECT_EQ(sim.overlayFor(renumbered)->opacity, 0.5f);
    EXPECT_FALSE(sim.overlayFor(2));
    window.reset();
    EXPECT_FALSE(sim.overlayFor(renumbered)->open);
}

TEST(SimLocation, ThePromptIsAnsweredOnceAsTheScenarioSays) {
    VirtualLoop loop;
    SimDesk sim(loop, Scenario::parse(R"({"location": {"lat": 1, "lon": 2, "promptAnswer": 2}})", "t.json"));
    Platform p = sim.platform();
    int changes = 0;
    auto sub = p.location.authorizationChanged().subscribe([&] { ++changes; });
    p.location.requestWhenInUseAuthorization();
    p.location.requestWhenInUseAuthorization();
    loop.runUntilIdle();
    EXPECT_EQ(p.location.authorizationStatus(), LocationAuthorization::denied);
    EXPECT_EQ(changes, 1);
    int failures = 0;
    auto f = p.location.locationFailed().subscribe([&] { ++failures; });
    p.location.requestLocation();
    loop.runUntilIdle();
    EXPECT_EQ(failures, 1); // denied: no fix even with a position
}

} // namespace
} // namespace brivio
