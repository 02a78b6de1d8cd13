#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "drivers/GammaDimDriver.h"
#include "platform/sim/SimDesk.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace brivio {
namespace {

// An external monitor whose calibration tops out at 0.5 (so a factor shows as red[255] / 0.5), one
// whose tables cannot be read, and the built-in panel.
std::string desk(const std::string& resets = "[]") {
    return R"({"displays": [
        {"name": "M", "vendor": 16, "product": 48, "serial": 5, "calibration": {"red": 0.5},
         "gammaResetAtMs": )" +
           resets + R"(},
        {"name": "Broken", "vendor": 17, "product": 49, "gammaFails": true},
        {"name": "Panel", "builtIn": true, "vendor": 1552, "product": 41139}]})";
}

struct GammaTest : ::testing::Test {
    explicit GammaTest(const std::string& resets = "[]")
        : sim(loop, Scenario::parse(desk(resets), "gamma.json")) {
        sim.setTraceStream(&trace);
    }
    VirtualLoop loop;
    CaptureLog log;
    SimDesk sim;
    std::ostringstream trace;
    Platform p = sim.platform();
    GammaDimDriver driver{loop, p.windowServer};

    ManagedDisplay display(std::size_t index) {
        const ScenarioDisplay& c = sim.scenario().displays[index];
        DisplayIdentity id{*sim.displayNumber(index), c.vendor, c.product, c.serial, c.name, c.unit};
        return {id, c.builtIn, {}};
    }
    std::string key() { return display(0).identity.stableKey(); }
    double factor() { return sim.gammaFactor(0); }
    std::size_t gammaWrites() {
        std::string lines = trace.str();
        std::size_t n = 0;
        for (auto at = lines.find(" gamma "); at != std::string::npos; at = lines.find(" gamma ", at + 1))
            ++n;
        return n;
    }
};

TEST(GammaFactor, ScalesBrightnessAboveAFloor) {
    struct Case {
        double brightness;
        float factor;
    };
    for (Case c : {Case{1.0, 1.0f}, Case{0.0, 0.08f}, Case{0.5, 0.54f}, Case{-1.0, 0.08f}, Case{2.0, 1.0f}})
        EXPECT_FLOAT_EQ(GammaDimDriver::factorFor(c.brightness), c.factor) << c.brightness;
}

TEST_F(GammaTest, AttachTakesOnlyDisplaysWhoseTablesCanBeRead) {
    EXPECT_TRUE(driver.attach(display(0)));
    EXPECT_EQ(gammaWrites(), 0u); // nothing changes until a level is applied
    EXPECT_FALSE(driver.attach(display(2)));
    EXPECT_FALSE(driver.attach(display(1)));
    EXPECT_EQ(log.count("GammaDimDriver: could not capture baseline for Broken — skipping"), 1u);
    driver.apply(display(1), 0.3); // without a state only the level is kept
    EXPECT_EQ(driver.cachedBrightness(display(1).identity.stableKey()), 0.3);
    driver.apply(display(0), 0.5);
    EXPECT_DOUBLE_EQ(factor(), 0.54f);
}

TEST_F(GammaTest, FadesSmoothlyToTheExactTargetAndStopsForANewLevel) {
    driver.attach(display(0));
    driver.fade(key(), 0.08f);
    loop.runUntilIdle();
    loop.advance(176ms); // p = 0.503: half-way along the smoothstep
    EXPECT_NEAR(factor(), 0.54, 0.01);
    loop.advance(200ms);
    EXPECT_EQ(sim.gammaTables(0).red[255], 0.5f * 0.08f);
    EXPECT_FALSE(driver.state(key())->fadeTask.running());
    EXPECT_LE(gammaWrites(), 25u);

    // A change within a thousandth is written at once, without a task.
    driver.apply(display(0), 0.5);
    driver.fade(key(), 0.5405f);
    EXPECT_FLOAT_EQ(float(factor()), 0.5405f);
    EXPECT_FALSE(driver.state(key())->fadeTask.running());

    driver.fade(key(), 1.0f);
    loop.runUntilIdle();
    loop.advance(50ms);
    driver.apply(display(0), 0.0);
    auto writes = gammaWrites();
    loop.advance(1s);
    EXPECT_EQ(gammaWrites(), writes); // the stopped fade writes nothing more
    EXPECT_DOUBLE_EQ(factor(), 0.08f);
}

struct GammaResetTest : GammaTest {
    GammaResetTest() : GammaTest("[3000, 9000]") {}
};

TEST_F(GammaResetTest, TablesAnotherProgramResetAreRewrittenUntilRestored) {
    driver.attach(display(0));
    driver.apply(display(0), 0.5);
    loop.runUntilIdle(); // the first check, at once: nothing to mend
    loop.advance(3999ms);
    EXPECT_DOUBLE_EQ(factor(), 1.0); // reset at 3 s, next check at 4 s
    loop.advance(1ms);
    EXPECT_DOUBLE_EQ(factor(), 0.54f);
    EXPECT_TRUE(
        log.contains("GammaDimDriver: drift on " + key() + " (expected 0.270, got 0.500) — reapplying"));

    driver.restore(key());
    EXPECT_EQ(sim.gammaTables(0), sim.calibration(0));
    EXPECT_TRUE(log.contains("GammaDimDriver: restored gamma for " + key()));
    EXPECT_FALSE(driver.integrityRunning());
    EXPECT_FALSE(driver.cachedBrightness(key()));

    // Taken again: a new check starts; the reset at 9 s is mended at 10 s.
    driver.attach(display(0));
    driver.apply(display(0), 0.0);
    loop.runUntilIdle();
    EXPECT_TRUE(driver.integrityRunning());
    loop.advance(6000ms);
    EXPECT_DOUBLE_EQ(factor(), 0.08f);
}

TEST_F(GammaTest, DriftOfAnyChannelIsMended) {
    driver.attach(display(0));
    driver.apply(display(0), 0.5);
    loop.runUntilIdle();
    GammaTables tinted = sim.gammaTables(0);
    tinted.blue.back() = 0.3f; // another program's warmer picture, red untouched
    sim.overwriteGamma(0, tinted);
    loop.advance(2s);
    EXPECT_FLOAT_EQ(sim.gammaTables(0).blue.back(), 0.54f);
}

TEST_F(GammaTest, AReconnectedDisplayKeepsItsFactorUnderItsNewNumber) {
    driver.attach(display(0));
    driver.apply(display(0), 0.5);
    sim.disconnect(0);
    sim.connect(0);
    loop.runUntilIdle();
    ASSERT_NE(sim.displayNumber(0), 1u);
    EXPECT_DOUBLE_EQ(factor(), 1.0); // back with its calibration
    EXPECT_TRUE(driver.attach(display(0)));
    EXPECT_EQ(driver.state(key())->cgID, *sim.displayNumber(0));
    EXPECT_DOUBLE_EQ(factor(), 0.54f);
}

TEST_F(GammaTest, NoDisplayStaysDimmedOnceTheDriverLetsGo) {
    auto owner = std::make_unique<GammaDimDriver>(loop, p.windowServer);
    owner->attach(display(0));
    owner->apply(display(0), 0.2);
    ASSERT_LT(factor(), 1.0);
    owner.reset(); // its owner forgot restoreAll
    EXPECT_EQ(sim.gammaTables(0), sim.calibration(0));

    driver.attach(display(0));
    driver.apply(display(0), 0.2);
    int restores = sim.windowServer().restoreCount();
    driver.restoreAll();
    EXPECT_EQ(sim.gammaTables(0), sim.calibration(0));
    EXPECT_EQ(sim.windowServer().restoreCount(), restores + 1);
    EXPECT_FALSE(driver.hasState(key()));
    EXPECT_FALSE(driver.integrityRunning());
}

} // namespace
} // namespace brivio
