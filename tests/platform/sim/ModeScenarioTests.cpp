#include "platform/sim/Scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using ::testing::HasSubstr;

TEST(ModeScenario, ReadsModesRotationPathsAndRefusedSteps) {
    Scenario s = Scenario::parse(R"({"displays": [{"name": "A",
        "modes": [{"width": 2560, "height": 1440, "pixelWidth": 5120, "pixelHeight": 2880, "refresh": 120},
                  {"width": 1920, "height": 1080, "refreshRate": 59.94, "usable": false}],
        "currentMode": 1, "modeChangeFailsAt": "configure",
        "rotation": {"angle": 90, "paths": ["userRotation", {"path": "framebuffer", "fails": true}]}}]})",
                                 "t.json");
    const ScenarioDisplay& d = s.displays[0];
    EXPECT_EQ(d.modes[0].refreshRate, 120);
    EXPECT_EQ(d.modes[1].refreshRate, 59.94);
    EXPECT_EQ(d.currentMode, 1u);
    EXPECT_EQ(d.bounds.width, 1920); // sized by the current mode
    EXPECT_EQ(d.rotation, 90);
    EXPECT_EQ(d.modeChangeFailsAt, ModeChangeStep::configure);
    EXPECT_EQ(*d.rotationPaths, (std::vector<ScenarioRotationPath>{{RotationPath::userRotation, false},
                                                                   {RotationPath::framebuffer, true}}));
    EXPECT_FALSE(
        Scenario::parse(R"({"displays": [{"name": "B", "rotation": 180}]})", "t").displays[0].rotationPaths);
}

TEST(ModeScenario, RejectsBadModeFieldsNamingTheirPath) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {R"("modes": [{"width": 800, "height": 600}], "currentMode": 1)", "displays[0].currentMode",
         "from 0 to 0"},
        {R"("currentMode": 0)", "displays[0].currentMode", "a mode list"},
        {R"("modes": [{"width": 800, "height": 600, "current": true}], "currentMode": 0)",
         "displays[0].currentMode", "not both"},
        {R"("modes": [{"width": 800, "height": 600, "refresh": 60, "refreshRate": 60}])",
         "displays[0].modes[0].refresh", "not both"},
        {R"("modeChangeFailsAt": "end")", "displays[0].modeChangeFailsAt",
         "\"begin\", \"configure\" or \"complete\""},
        {R"("rotation": {"angle": 45})", "displays[0].rotation.angle", "0, 90, 180 or 270"},
        {R"("rotation": {"paths": ["sideways"]})", "displays[0].rotation.paths[0]", "a rotation path"},
        {R"("rotation": {"paths": [{"path": "framebuffer", "fails": 1}]})",
         "displays[0].rotation.paths[0].fails", "true or false"},
        {R"("rotation": {"paths": ["framebuffer", "framebuffer"]})", "displays[0].rotation.paths[1]", "once"},
        {R"("rotation": {"paths": "framebuffer"})", "displays[0].rotation.paths", "an array"},
    };
    for (auto [fields, path, expected] : cases) {
        std::string json = std::string(R"({"displays": [{"name": "A", )") + fields + "}]}";
        try {
            Scenario::parse(json, "t.json");
            ADD_FAILURE() << fields;
        } catch (const ScenarioError& e) {
            EXPECT_EQ(e.path(), path) << fields;
            EXPECT_THAT(e.expected(), HasSubstr(expected)) << fields;
        }
    }
}

} // namespace
} // namespace brivio
