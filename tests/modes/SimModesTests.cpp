#include "base/VirtualLoop.h"
#include "modes/DisplayControlStrip.h"
#include "platform/sim/SimDesk.h"

#include <gtest/gtest.h>
#include <sstream>

namespace brivio {
namespace {

// The strip over a simulated display: the same behaviour a real window server gives.
struct SimStrip {
    VirtualLoop loop;
    SimDesk desk;
    Platform platform = desk.platform();
    DisplayModeManager manager{platform.windowServer, platform.registry, platform.rotation};
    std::vector<std::uint32_t> flags;
    int callback = platform.windowServer.registerReconfigurationCallback(
        [this](DisplayNumber, std::uint32_t f) { flags.push_back(f); });
    std::unique_ptr<DisplayControlStrip> strip;

    explicit SimStrip(const std::string& fields)
        : desk(loop, Scenario::parse(R"({"displays": [{"name": "M", "vendor": 16, "product": 48, "unit": 1,
            "modes": [{"width": 2560, "height": 1440}, {"width": 1920, "height": 1080}], )" +
                                         fields + "}]}",
                                     "t.json")) {
        ManagedDisplay d;
        d.identity = {*desk.displayNumber(0), 16, 48, 0, "M", 1};
        strip = std::make_unique<DisplayControlStrip>(loop, manager, d);
    }
    Rect bounds() { return platform.windowServer.bounds(*desk.displayNumber(0)); }
};

TEST(SimModes, ModeChangeResizesThroughTheTransaction) {
    SimStrip s(R"("currentMode": 0)");
    s.strip->applyMode(s.strip->state().modes[1]);
    s.loop.runUntilIdle();
    EXPECT_EQ(s.bounds().width, 1920);
    EXPECT_EQ(s.flags, (std::vector<std::uint32_t>{ReconfigurationFlags::setMode}));

    for (const char* step : {"begin", "configure", "complete"}) {
        SimStrip refusing(std::string(R"("modeChangeFailsAt": ")") + step + "\"");
        refusing.strip->applyMode(refusing.strip->state().modes[1]);
        refusing.loop.runUntilIdle();
        EXPECT_EQ(refusing.bounds().width, 2560) << step;
        EXPECT_FALSE(refusing.strip->modeBanner()) << step;
        EXPECT_TRUE(refusing.flags.empty()) << step;
    }
}

TEST(SimModes, RotationTakesTheScenariosPaths) {
    struct Case {
        const char* rotation;
        bool turns;
    };
    const Case cases[] = {
        {R"({"angle": 0})", true}, // the frame buffer by default
        {R"({"paths": [{"path": "framebuffer", "fails": true}, "connectionRotation"]})", true},
        {R"({"paths": ["displayService"]})", true},
        {R"({"paths": [{"path": "displayRotation", "fails": true}]})", false},
        {R"({"paths": ["userRotation"]})", true},
    };
    for (const auto& c : cases) {
        SimStrip s(std::string(R"("rotation": )") + c.rotation);
        s.strip->applyRotation(90);
        s.loop.runUntilIdle();
        EXPECT_EQ(s.strip->rotationBanner().has_value(), c.turns) << c.rotation;
        EXPECT_EQ(s.platform.windowServer.rotation(*s.desk.displayNumber(0)), c.turns ? 90 : 0) << c.rotation;
        EXPECT_EQ(s.bounds().width, c.turns ? 1440 : 2560) << c.rotation;
        EXPECT_EQ(s.flags.size(), c.turns ? 1u : 0u) << c.rotation;
    }
}

} // namespace
} // namespace brivio
