#include "platform/sim/Scenario.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using ::testing::HasSubstr;

TEST(Scenario, OptionalFieldsTakeTheirDefaults) {
    Scenario s = Scenario::parse(R"({"displays": [
        {"name": "A", "vendor": 16, "product": 48},
        {"name": "B", "bounds": [100, 50, 800, 600]},
        {"name": "C", "modes": [{"width": 1280, "height": 720}, {"width": 2560, "height": 1440, "current": true}]}]})",
                                 "t.json");
    ASSERT_EQ(s.displays.size(), 3u);
    const ScenarioDisplay& a = s.displays[0];
    EXPECT_FALSE(a.builtIn);
    EXPECT_EQ(a.serial, 0u);
    EXPECT_EQ(a.unit, 0u);
    EXPECT_TRUE(a.screen);
    EXPECT_TRUE(a.connected);
    EXPECT_EQ(a.refreshRate, 60);
    EXPECT_FALSE(a.nativeBrightness);
    EXPECT_FALSE(a.ddc);
    EXPECT_FALSE(a.services);
    EXPECT_EQ(a.bounds, (Rect{0, 0, 1920, 1080}));
    // Displays without bounds line up to the right of the ones before; modes give the size.
    EXPECT_EQ(s.displays[2].bounds, (Rect{1920, 0, 2560, 1440}));
    EXPECT_EQ(s.displays[2].currentMode, 1u);
    EXPECT_EQ(s.displays[2].modes[0].pixelWidth, 1280u);
    EXPECT_EQ(s.clock.timeZone, "UTC");
    EXPECT_EQ(s.location.status, 0);
    EXPECT_FALSE(s.location.position);

    Scenario d = Scenario::parse(R"({"displays": [{"name": "M", "native": {},
        "ddc": {"vcp": {"0x10": [60, 100], "0xd6": [1, 0]}}}],
        "clock": {"start": "2024-06-21T06:00:00+02:00", "timeZone": "Europe/Berlin"}})",
                                 "t.json");
    EXPECT_EQ(d.displays[0].nativeBrightness, 1.0);
    EXPECT_EQ(d.displays[0].ddc->vcp.at(0x10), (VcpFeature{60, 100}));
    EXPECT_EQ(d.displays[0].ddc->vcp.at(0xD6), (VcpFeature{1, 0}));
    EXPECT_EQ(d.displays[0].ddc->failReads, 0);
    EXPECT_EQ(d.clock.start, parseInstant("2024-06-21T04:00:00Z"));

    // Events come out in the order they happen; equal moments keep the file's order.
    Scenario e = Scenario::parse(R"({"events": [{"atMs": 5000, "clockJumpMs": -3600000},
        {"atMs": 1000, "sleepForMs": 28800000}, {"atMs": 5000, "sleepForMs": 1}]})",
                                 "e.json");
    EXPECT_EQ(e.events, (std::vector<ScenarioEvent>{
                            {1s, 8h, std::nullopt}, {5s, std::nullopt, -1h}, {5s, 1ms, std::nullopt}}));
}

TEST(Scenario, RejectsBadFieldsNamingTheirPath) {
    struct Case {
        const char* json;
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"displays": [{"name": "A"}, {"name": "B", "ddc": {"vcp": {"0x10": [120, 100]}}}]})",
         "displays[1].ddc.vcp.0x10", "current <= max"},
        {R"({"displays": [{"name": "A", "ddc": {"vcp": {"16": [1, 100]}}}]})", "displays[0].ddc.vcp.16",
         "VCP code"},
        {R"({"displays": [{"name": "A", "ddc": {"vcp": {"0x10": [1]}}}]})", "displays[0].ddc.vcp.0x10",
         "[current, max]"},
        {R"({"displays": [{"name": "A", "vendor": "sixteen"}]})", "displays[0].vendor", "an integer"},
        {R"({"displays": [{"name": "A", "serial": -1}]})", "displays[0].serial", "from 0 to 4294967295"},
        {R"({"displays": [{"name": "A", "vendor": 4294967296}]})", "displays[0].vendor", "an integer"},
        {R"({"displays": [{"name": "A", "builtIn": 1}]})", "displays[0].builtIn", "true or false"},
        {R"({"displays": [{"vendor": 1}]})", "displays[0].name", "non-empty string"},
        {R"({"displays": [{"name": "A", "bounds": [0, 0, 0, 10]}]})", "displays[0].bounds", "positive width"},
        {R"({"displays": [{"name": "A", "native": {"brightness": 1.5}}]})", "displays[0].native.brightness",
         "from 0 to 1"},
        {R"({"displays": [{"name": "A", "buitIn": true}]})", "displays[0].buitIn", "a known field"},
        {R"({"displays": [{"name": "A", "displayNumber": 3}, {"name": "B", "displayNumber": 3}]})",
         "displays[1].displayNumber", "no other display"},
        {R"({"displays": [{"name": "A", "services": [{"vendor": 1}]}]})", "displays[0].services[0].class",
         "non-empty string"},
        {R"({"displays": [{"name": "A", "ddc": {"failReads": 1.5}}]})", "displays[0].ddc.failReads",
         "an integer"},
        {R"({"displays": [{"name": "A", "rotation": 45}]})", "displays[0].rotation", "0, 90, 180 or 270"},
        {R"({"displays": {"name": "A"}})", "displays", "an array"},
        {R"({"clock": {"start": "2024-02-30T00:00:00Z"}})", "clock.start", "an instant"},
        {R"({"location": {"lat": 52.5}})", "location.lon", "both lat and lon"},
        {R"({"displays": [{"name": "A", "refreshRate": 0}]})", "displays[0].refreshRate", "from 1 to 1000"},
        {R"({"events": {"atMs": 0}})", "events", "an array"},
        {R"({"events": [{"sleepForMs": 5}]})", "events[0].atMs", "required"},
        {R"({"events": [{"atMs": -1, "sleepForMs": 5}]})", "events[0].atMs", "an integer from 0"},
        {R"({"events": [{"atMs": 0}]})", "events[0]", "exactly one of"},
        {R"({"events": [{"atMs": 0, "sleepForMs": 5, "clockJumpMs": 5}]})", "events[0].clockJumpMs",
         "exactly one of"},
        {R"({"events": [{"atMs": 0, "sleepForMs": 0}]})", "events[0].sleepForMs", "an integer from 1"},
        {R"({"events": [{"atMs": 0, "clockJumpMs": 1.5}]})", "events[0].clockJumpMs", "an integer"},
        {R"({"events": [{"atMs": 0, "clockJumpMs": 1e300}]})", "events[0].clockJumpMs", "an integer"},
        {R"({"events": [{"atMs": 0, "sleep": 5}]})", "events[0].sleep", "a known field"},
        {R"({"location": {"lat": 52.5, "lon": 13.4, "status": 7}})", "location.status", "from 0 to 4"},
        {R"({"displays": [{"name": "A", "ddc": {"vcp": {"0x60": [15, 0]}, "inputs": [15, 0]}}]})",
         "displays[0].ddc.inputs[1]", "from 1 to 255"},
        {R"({"displays": [{"name": "A", "ddc": {"vcp": {"0x60": [15, 0]}, "inputs": 15}}]})",
         "displays[0].ddc.inputs", "an array"},
        {R"({"displays": [{"name": "A", "ddc": {"vcp": {"0x10": [1, 100]}, "inputs": [15]}}]})",
         "displays[0].ddc.inputs", "\"0x60\" entry"},
        {R"({"displays": [{"name": "A", "gammaResetAtMs": [100, -5]}]})", "displays[0].gammaResetAtMs[1]",
         "milliseconds"},
        {R"({"displays": [{"name": "A", "gammaResetAtMs": 100}]})", "displays[0].gammaResetAtMs", "an array"},
        {R"({"displays": [{"name": "A"}], "events": [{"atMs": 0, "unplug": 1}]})", "events[0].unplug",
         "from 0 to 0"},
        {R"({"displays": [{"name": "A"}], "events": [{"atMs": 0, "refuseSetVcp": {"display": 0}}]})",
         "events[0].refuseSetVcp.display", "\"ddc\" object"},
        {R"({"displays": [{"name": "A"}], "events": [{"atMs": 0, "plug": 0, "moved": 0}]})", "events[0].plug",
         "exactly one of"},
        {R"({"displays": [{"name": "A"}], "events": [{"atMs": 0, "writeGamma": {"display": 0, "red": 2}}]})",
         "events[0].writeGamma.red", "from 0 to 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        try {
            Scenario::parse(c.json, "desk.json");
            ADD_FAILURE() << "accepted";
        } catch (const ScenarioError& e) {
            EXPECT_EQ(e.file(), "desk.json");
            EXPECT_EQ(e.path(), c.path);
            EXPECT_THAT(e.expected(), HasSubstr(c.expected));
            EXPECT_THAT(e.what(), HasSubstr(std::string("desk.json: ") + c.path + ": expected"));
        }
    }
}

TEST(Scenario, UnreadableOrMalformedFilesNameTheFile) {
    EXPECT_THROW(
        {
            try {
                Scenario::parse("{\"displays\": [", "broken.json");
            } catch (const ScenarioError& e) {
                EXPECT_THAT(e.what(), HasSubstr("broken.json: displays[0]: expected valid JSON"));
                throw;
            }
        },
        ScenarioError);
    EXPECT_THROW(Scenario::load("/nonexistent/desk.json"), ScenarioError);
}

TEST(Scenario, ShippedExamplesLoad) {
    for (const char* name : {"desk.json", "desk8.json", "twins.json", "faults.json"}) {
        SCOPED_TRACE(name);
        Scenario s = Scenario::load(testing::sourceDir() + "/examples/" + name);
        EXPECT_FALSE(s.displays.empty());
    }
    EXPECT_EQ(Scenario::load(testing::sourceDir() + "/examples/desk8.json").displays.size(), 8u);
}

} // namespace
} // namespace brivio
