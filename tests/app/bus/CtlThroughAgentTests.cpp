// brivioctl while the agent runs: through the bus, without a desk or a settings write of its own; and a
// standalone run whose settings change the agent takes in.
#include "app/bus/AgentOnBus.h"
#include "tools/CtlRunner.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>

namespace brivio {
namespace {

using testing::AgentOnBus;
using ::testing::HasSubstr;

std::string desk() {
    return testing::sourceDir() + "/examples/desk.json";
}

// Runs brivioctl with the private bus as the session bus, serving the agent meanwhile.
testing::CtlResult ctl(AgentOnBus& agent, const std::string& arguments) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", agent.busAddress().c_str(), 1);
    std::atomic<bool> done{false};
    testing::CtlResult result;
    std::thread run([&] {
        result = testing::runBrivioctl(arguments, "", true);
        done = true;
    });
    agent.serve([&] { return done.load(); }, 0s, std::chrono::milliseconds(20000));
    run.join();
    return result;
}

TEST(CtlThroughAgent, CommandsAreCallsToTheAgentThatOwnsTheDesk) {
    auto agent = AgentOnBus::start("desk.json", bus::simulatedServiceName(desk()));
    if (!agent)
        GTEST_SKIP() << "no dbus-daemon to start a private bus";
    // A run of its own would keep settings here: nothing may appear.
    testing::TempDir home;
    ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    auto& prefs = agent->preferences();
    std::string office = agent->desk().stableKey(2);

    auto set = ctl(*agent, "--sim " + desk() + " set 3 brightness 40%");
    EXPECT_EQ(set.status, 0) << set.err;
    agent->advance(1s);
    EXPECT_EQ(prefs.brightnessByDisplay().at(office), 0.4) << "the panel's model has it";
    auto overlay = agent->desk().overlayFor(*agent->desk().displayNumber(2));
    ASSERT_TRUE(overlay);
    EXPECT_NEAR(overlay->opacity, (1 - 0.4) * 0.75, 1e-6) << "software dimming works from the command line";

    auto all = ctl(*agent, "--sim " + desk() + " set all brightness 50%");
    EXPECT_EQ(all.status, 0) << all.err;
    agent->advance(2s);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(prefs.brightnessByDisplay().at(agent->desk().stableKey(i)), 0.5);

    auto get = ctl(*agent, "--sim " + desk() + " get 3 brightness --json");
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(nlohmann::json::parse(get.out)["level"], 0.5);
    auto step = ctl(*agent, "--sim " + desk() + " step down");
    EXPECT_EQ(step.out, "Stepped down in the running agent.\n");

    auto refused = ctl(*agent, "--sim " + desk() + " get 1 contrast");
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, HasSubstr("has no contrast control"));
    auto own = ctl(*agent, "--sim " + desk() + " --agent --trace /dev/null list");
    EXPECT_EQ(own.status, 2);
    EXPECT_FALSE(std::filesystem::exists(home.path() + "/brivio")) << "no settings of its own";
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(CtlThroughAgent, AScheduleAddedByAStandaloneRunFiresInTheAgent) {
    auto agent = AgentOnBus::start("desk.json");
    if (!agent)
        GTEST_SKIP() << "no dbus-daemon to start a private bus";
    auto& prefs = agent->preferences();
    agent->preferences().setBrightness(agent->desk().stableKey(2), 0.8);
    agent->store().flush();

    // --config: a run on its own, on the agent's settings file. The desk's clock starts at 06:00.
    auto add =
        ctl(*agent, "--sim " + desk() + " --config " + agent->configDir() + " schedule add Night 06:05");
    ASSERT_EQ(add.status, 0) << add.err;
    ASSERT_TRUE(agent->serve([&] { return prefs.scheduleList().size() == 1; }));
    EXPECT_EQ(prefs.brightnessByDisplay().at(agent->desk().stableKey(2)), 0.8) << "its keys are still there";

    agent->advance(6min);
    EXPECT_EQ(prefs.globalActivePresetIDStr(), builtInPresets()[0].id.toString());
    agent->advance(2s);
    EXPECT_EQ(agent->desk().vcpValue(1, 0x10), 20) << "the Night preset reached the monitor";
}

} // namespace
} // namespace brivio
