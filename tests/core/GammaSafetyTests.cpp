#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "core/DisplayController.h"
#include "platform/sim/SimDesk.h"
#include "settings/MemoryKeyValueStore.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace brivio {
namespace {

// Two monitors without DDC/CI: the overlay or gamma dims them. The second one's tables cannot be read.
const char* gammaDesk = R"({"displays": [
    {"name": "Office 24", "vendor": 7789, "product": 1101, "serial": 81234, "calibration": {"red": 0.9}},
    {"name": "Locked", "vendor": 7790, "product": 1102, "serial": 3, "gammaFails": true}]})";

// One run of the system on a desk whose gamma tables are kept in `statePath`.
struct AgentRun {
    AgentRun(VirtualLoop& loop, const std::string& statePath)
        : sim(loop, Scenario::parse(gammaDesk, "desk.json")) {
        sim.persistGammaState(statePath);
        gammaAtStart = sim.gammaFactor(0);
        controller = std::make_unique<DisplayController>(platform, prefs);
        loop.runUntilSettled(std::chrono::minutes(1));
    }
    DisplayNumber id(std::size_t index) { return *sim.displayNumber(index); }

    SimDesk sim;
    Platform platform = sim.platform();
    MemoryKeyValueStore store;
    BrivioPreferences prefs{store};
    double gammaAtStart = 1;
    std::unique_ptr<DisplayController> controller;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct GammaSafetyTest : ::testing::Test {
    VirtualLoop loop;
    testing::TempDir dir;
    std::string state = dir.path() + "/sim-gamma.json";
};

TEST_F(GammaSafetyTest, AKilledDimmedRunIsUndoneByTheNextStart) {
    std::string leftBehind;
    {
        AgentRun run(loop, state);
        run.controller->setExtendedDimming(true, run.id(0));
        run.controller->setUserBrightness(0.5, run.id(0), false, 0s);
        loop.runUntilSettled(std::chrono::minutes(1));
        ASSERT_NEAR(run.sim.gammaFactor(0), 0.54, 0.005);
        // Killed here: what the window server holds is what the record says.
        leftBehind = slurp(state);
    }
    EXPECT_EQ(slurp(state), "{\"displays\":{}}\n"); // a run that ends normally leaves nothing dimmed
    std::ofstream(state) << leftBehind;

    AgentRun next(loop, state);
    EXPECT_NEAR(next.gammaAtStart, 0.54, 0.005);
    EXPECT_DOUBLE_EQ(next.sim.gammaFactor(0), 1.0);
    EXPECT_EQ(slurp(state), "{\"displays\":{}}\n");
}

TEST_F(GammaSafetyTest, TablesThatCannotBeReadLeaveTheOverlayDimming) {
    CaptureLog log;
    AgentRun run(loop, state);
    run.controller->setExtendedDimming(true, run.id(1));
    run.controller->setUserBrightness(0.3, run.id(1), false, 0s);
    loop.runUntilSettled(std::chrono::minutes(1));
    auto overlay = run.sim.overlayFor(run.id(1));
    ASSERT_TRUE(overlay);
    EXPECT_GT(overlay->opacity, 0.5f);
    bool loggedAtError = false;
    for (auto& line : log.lines())
        loggedAtError |= line.level == LogLevel::error &&
                         line.message == "GammaDimDriver: could not capture baseline for Locked — skipping";
    EXPECT_TRUE(loggedAtError);

    // The next enumeration keeps it on the overlay too.
    float before = overlay->opacity;
    run.sim.disconnect(0);
    loop.runUntilSettled(std::chrono::minutes(1));
    EXPECT_FLOAT_EQ(run.sim.overlayFor(run.id(1))->opacity, before);
}

} // namespace
} // namespace brivio
