#include "CtlRunner.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace brivio {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// The example desk: 1 the built-in panel, 2 a DDC/CI monitor on DisplayPort 1 that also has HDMI 1
// and 2, 3 a monitor without DDC/CI.
struct DeviceCommandsTest : ::testing::Test {
    testing::TempDir config;
    std::string trace = config.path() + "/trace";

    // `input` is what the user types at the terminal.
    testing::CtlResult run(const std::string& arguments, const std::string& input = "") {
        return testing::runBrivioctl("--sim " + testing::sourceDir() + "/examples/desk.json --config " +
                                         config.path() + " --trace " + trace + " " + arguments,
                                     input);
    }
    std::string traced() { return testing::readFile(trace); }
};

TEST_F(DeviceCommandsTest, InputIsPrintedAndSwitched) {
    auto r = run("input 2");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "DisplayPort 1 (0x0F)\n");
    r = run("input 2 'HDMI 2'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_THAT(traced(), HasSubstr("i2c v16-p48-s5 write 37 51 84 03 60 00 12 CA\n"));
    EXPECT_THAT(traced(), HasSubstr("input v16-p48-s5 0x12\n"));
}

TEST_F(DeviceCommandsTest, PowerOffAsksFirstUnlessTold) {
    const std::string request = "write 37 51 84 03 D6 00 05 6B";
    auto r = run("power-off 2", "n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("Power off Studio 27?"));
    EXPECT_THAT(traced(), Not(HasSubstr(request)));

    r = run("power-off 2", "y\n");
    EXPECT_EQ(r.status, 0) << r.out;
    r = run("power-off 2 --yes");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_THAT(r.out, Not(HasSubstr("Power off")));
    // Twice, 100 ms apart.
    std::istringstream lines(traced());
    std::vector<long long> at;
    for (std::string line; std::getline(lines, line);)
        if (line.find(request) != std::string::npos)
            at.push_back(std::stoll(line));
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[1] - at[0], 100);
}

TEST_F(DeviceCommandsTest, RefusalsGetOneLineAndStatusTwoAndSendNothing) {
    struct Case {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"input 2 hdmi3", "'hdmi3' is not an input"},
        {"input 2 0x100", "'0x100' is not an input"},
        {"input 1", "cannot switch inputs"},
        {"input 3 hdmi1", "cannot switch inputs"},
        {"power-off 1 --yes", "built-in display"},
        {"power-off 3 --yes", "cannot be powered off"},
        {"power-off all --yes", "'all' cannot be used here"},
        {"dimming 2 dark", "not a dimming mode"},
        {"dimming 1 extended", "built-in display"},
    };
    for (auto& c : cases) {
        auto r = run(c.arguments, "y\\n");
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_THAT(r.out, StartsWith("brivioctl: ")) << c.arguments;
        EXPECT_THAT(r.out, HasSubstr(c.message)) << c.arguments;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        EXPECT_THAT(traced(), Not(HasSubstr("84 03 60"))) << c.arguments;
        EXPECT_THAT(traced(), Not(HasSubstr("84 03 D6"))) << c.arguments;
    }
}

TEST_F(DeviceCommandsTest, ExtendedDimmingMovesAMonitorOntoGamma) {
    ASSERT_EQ(run("dimming 3 extended").status, 0);
    ASSERT_EQ(run("set 3 brightness 0.3").status, 0);
    EXPECT_THAT(traced(), HasSubstr("gamma v7789-p1101-s81234 0.3560\n"));
    EXPECT_THAT(run("list").out, HasSubstr("gamma"));
    ASSERT_EQ(run("dimming 3 normal").status, 0);
    ASSERT_EQ(run("set 3 brightness 0.3").status, 0);
    EXPECT_THAT(traced(), Not(HasSubstr("0.3560")));
    EXPECT_THAT(traced(), HasSubstr("overlay v7789-p1101-s81234 0.5250\n")); // the overlay dims again
}

} // namespace
} // namespace brivio
