#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "drivers/NativeDisplayDriver.h"
#include "platform/sim/SimDesk.h"

#include <cmath>
#include <gtest/gtest.h>

namespace brivio {
namespace {

struct NativeTest : ::testing::Test {
    VirtualLoop loop;
    CaptureLog log;
    SimDesk sim{loop, Scenario::parse(R"({"displays": [
        {"name": "Panel", "builtIn": true, "vendor": 1552, "product": 41139, "native": {"brightness": 0.0}},
        {"name": "Plain", "vendor": 16, "product": 48}]})",
                                      "native.json")};
    Platform p = sim.platform();
    NativeDisplayDriver driver{p.displayServices};

    ManagedDisplay display(std::size_t index) {
        const ScenarioDisplay& c = sim.scenario().displays[index];
        return {{*sim.displayNumber(index), c.vendor, c.product, c.serial, c.name, c.unit}, c.builtIn, {}};
    }
};

TEST_F(NativeTest, ProbeFindsTheBacklightOnceAndNeverWrites) {
    // A backlight at 0 is a valid level, not a missing service.
    DisplayCapabilities caps = driver.probe(display(0));
    EXPECT_TRUE(caps.supportsHardwareBrightness);
    EXPECT_TRUE(caps.supportsOverlayDimming);
    EXPECT_FALSE(caps.hardwareBrightnessFallbackReason);
    EXPECT_TRUE(log.contains("Native: probe Panel → hardware brightness available"));
    EXPECT_EQ(sim.nativeBrightness(0), 0.0f);

    caps = driver.probe(display(1));
    EXPECT_FALSE(caps.supportsHardwareBrightness);
    EXPECT_EQ(caps.hardwareBrightnessFallbackReason, FallbackReason::nativeUnsupported);
    EXPECT_TRUE(log.contains("Native: no hardware path for Plain"));

    sim.setNativeBrightness(0, 0.5f);
    driver.probe(display(0));
    driver.probe(display(1));
    EXPECT_EQ(log.count("Native:"), 2u); // answered from the cache
}

TEST_F(NativeTest, WritesClampAndReadsFollowTheBacklight) {
    struct Case {
        double written;
        float level;
    };
    for (Case c : {Case{1.7, 1.0f}, Case{-0.3, 0.0f}, Case{0.25, 0.25f}, Case{std::nan(""), 0.0f}}) {
        sim.setNativeBrightness(0, 0.6f);
        driver.writeBrightness(display(0).identity.cgID, c.written);
        EXPECT_EQ(sim.nativeBrightness(0), c.level) << c.written;
    }
    sim.setNativeBrightness(0, 0.7f);
    EXPECT_FLOAT_EQ(float(driver.readBrightness(display(0).identity.cgID)), 0.7f);
    // Without the service reads say full and writes do nothing.
    NativeDisplayDriver missing{DisplayServicesSymbols{}};
    EXPECT_EQ(missing.readBrightness(display(0).identity.cgID), 1.0);
    missing.writeBrightness(display(0).identity.cgID, 0.1);
    EXPECT_EQ(sim.nativeBrightness(0), 0.7f);
}

} // namespace
} // namespace brivio
