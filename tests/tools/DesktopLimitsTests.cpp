// The command line on a desktop that cannot do everything (as a Wayland desktop without a layer shell,
// gamma control or output configuration): it says so, with the desktop's reason, exits non-zero and
// stores nothing of a command that could not take effect.
#include "CtlRunner.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// 1: no DDC/CI, and neither overlay, gamma nor modes; 2: no DDC/CI, tables that cannot be read.
const char* limitedDesk = R"({"displays": [
    {"name": "Plain", "vendor": 1, "product": 2,
     "modes": [{"width": 1920, "height": 1080}, {"width": 1280, "height": 720}],
     "unavailable": {"overlay": "no layer shell", "gamma": "no gamma control", "modes": "no output manager"}},
    {"name": "Locked", "vendor": 1, "product": 3, "gammaFails": true}]})";

struct DesktopLimitsTest : ::testing::Test {
    testing::TempDir config;
    std::string scenario = config.path() + "/limited.json";
    DesktopLimitsTest() { std::ofstream(scenario) << limitedDesk; }
    testing::CtlResult run(const std::string& arguments) {
        return testing::runBrivioctl("--sim " + scenario + " --config " + config.path() + " " + arguments, "",
                                     true);
    }
    std::string settings() { return testing::readFile(config.path() + "/settings.json"); }
};

TEST_F(DesktopLimitsTest, ListAndSetSayWhatCannotBeDimmed) {
    auto r = run("list");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("none     brightness -"));
    EXPECT_THAT(r.out, HasSubstr("software dimming unavailable: no layer shell; no gamma control"));
    r = run("list --json");
    EXPECT_THAT(r.out, HasSubstr("\"softwareDimmingUnavailable\": \"no layer shell; no gamma control\""));

    r = run("set 1 brightness 40%");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("'Plain' cannot be dimmed on this desktop"));
}

TEST_F(DesktopLimitsTest, ExtendedDimmingThatCannotStartFailsAndIsNotStored) {
    // No gamma control at all: refused before anything is tried.
    auto r = run("dimming 1 extended");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("cannot use Extended Dimming here: no gamma control"));
    // Tables that cannot be read: the run fails instead of passing for done.
    r = run("dimming 2 extended");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("could not read the gamma tables of '2'"));
    EXPECT_THAT(settings(), Not(HasSubstr("externalOverlayDimming")));
}

TEST_F(DesktopLimitsTest, ModesAndRotationSayWhyTheyAreMissing) {
    for (const char* command : {"modes 1", "mode 1 2", "rotate 1 90"}) {
        auto r = run(command);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_THAT(r.err, HasSubstr("'1': modes and rotation cannot be changed here: no output manager"))
            << command;
    }
}

} // namespace
} // namespace brivio
