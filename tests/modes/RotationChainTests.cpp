#include "base/Log.h"
#include "modes/ModeFakes.h"
#include "modes/RotationChain.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

using testing::FakeRegistry;
using testing::FakeWindowServer;

constexpr const char* noWindowServer =
    "DisplayModeManager: rotation path2B: CGS/SLS symbols not found in any framework";
constexpr const char* exhausted =
    "DisplayModeManager: rotation: all paths exhausted — rotation unsupported on this configuration";
constexpr const char* noUserRotationInProcess =
    "DisplayModeManager: rotation path3A: symbol not in RTLD_DEFAULT — trying dlopen";
constexpr const char* skyLight = "/System/Library/PrivateFrameworks/SkyLight.framework/SkyLight";

// A desk for one rotation attempt: which entries exist, what they answer, and every call made.
struct Rig {
    FakeWindowServer server;
    FakeRegistry registry;
    RotationService service;
    std::vector<std::string> calls;
    // Libraries that open, by path, with their entries; the rest fail with "gone".
    std::map<std::string, RotationEntries> libraries;

    RotationEntries windowServerEntries(int displayResult, std::optional<int> connectionResult) {
        RotationEntries e;
        e.setDisplayRotation = [this, displayResult](std::uint32_t, std::int32_t angle) {
            calls.push_back(fmt::format("display {}", angle));
            return displayResult;
        };
        if (connectionResult) {
            e.mainConnectionID = [] { return 42u; };
            e.setConnectionDisplayRotation = [this, r = *connectionResult](std::uint32_t, std::uint32_t,
                                                                           double a) {
                calls.push_back(fmt::format("connection {}", a));
                return r;
            };
        }
        return e;
    }
    RotationEntries userRotation() {
        RotationEntries e;
        e.setUserRotation = [this](std::uint32_t, std::uint32_t angle) {
            calls.push_back(fmt::format("user {}", angle));
        };
        return e;
    }

    bool rotate(int angle) {
        service.openLibrary = [this](const std::string& path) {
            auto it = libraries.find(path);
            return it == libraries.end() ? OpenedRotationLibrary{false, "gone", {}}
                                         : OpenedRotationLibrary{true, "", it->second};
        };
        return RotationChain(server, registry, service).setRotation(angle, FakeWindowServer::display);
    }
};

TEST(RotationChain, StopsAtTheFirstSuccessLoggingEveryTry) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> setup;
        bool succeeds;
        std::vector<std::string> calls;
        std::vector<std::string> logged;
        std::vector<std::string> notLogged;
    };
    const Case cases[] = {
        {"a frame buffer matched by its second key",
         [](Rig& r) {
             r.registry.framebuffers = {{{"IOFramebufferOpenGLIndex", {std::int64_t(0)}},
                                         {"IOFramebufferUnitNumber", {std::int64_t(2)}}}};
             r.service.process = r.windowServerEntries(0, std::nullopt);
         },
         true,
         {},
         {"DisplayModeManager: rotation path1 IOFramebuffer kr=0"},
         {"SLSSetDisplayRotation"}},
        {"a refusing frame buffer, then the display service in its library",
         [](Rig& r) {
             r.registry.framebuffers = {{{"Unit", {std::int64_t(2)}}}};
             r.registry.rotationResult = 5;
             r.libraries[std::string(RotationChain::displayServiceLibraries[1])] = r.userRotation();
         },
         true,
         {"user 90"},
         {"DisplayModeManager: rotation path1 IOFramebuffer kr=5",
          "DisplayModeManager: rotation path3 dlopen: called (7, 90)"},
         {exhausted}},
        {"the window server's service for the display",
         [](Rig& r) {
             RotationEntries graphics;
             graphics.serviceForDisplayNumber = [](std::uint32_t) { return RegistryService{9, "x"}; };
             r.libraries[std::string(RotationChain::graphicsLibrary)] = graphics;
         },
         true,
         {},
         {"DisplayModeManager: rotation path2A CGS service kr=0"},
         {noWindowServer}},
        {"the display call refuses, the connection call in the same library turns",
         [](Rig& r) { r.libraries[skyLight] = r.windowServerEntries(3, 0); },
         true,
         {"display 90", "connection 90"},
         {"DisplayModeManager: SLSSetDisplayRotation(7, 90) kr=3",
          "DisplayModeManager: CGSSetDisplayRotation(conn=42, 7, 90) kr=0"},
         {noWindowServer}},
        {"no window-server entries: one error, then the display service in the process",
         [](Rig& r) { r.service.process = r.userRotation(); },
         true,
         {"user 90"},
         {noWindowServer, "DisplayModeManager: rotation path3A RTLD_DEFAULT: called (7, 90)"},
         {noUserRotationInProcess}},
        {"nothing anywhere",
         [](Rig& r) { r.registry.listingResult = 1; },
         false,
         {},
         {noWindowServer, exhausted},
         {}},
    };
    for (const auto& c : cases) {
        CaptureLog log;
        Rig rig;
        c.setup(rig);
        EXPECT_EQ(rig.rotate(90), c.succeeds) << c.name;
        EXPECT_EQ(rig.calls, c.calls) << c.name;
        for (auto& line : c.logged)
            EXPECT_EQ(log.count(line), 1u) << c.name << ": " << line;
        for (auto& line : c.notLogged)
            EXPECT_FALSE(log.contains(line)) << c.name << ": " << line;
    }
}

} // namespace
} // namespace brivio
