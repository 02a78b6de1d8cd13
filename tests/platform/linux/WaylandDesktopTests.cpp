// The Linux backend on headless Wayland compositors: dimming layers read back from the screen on sway,
// rotation and its revert on sway, modes and their revert through GNOME's display configuration on
// mutter, and on weston, which has neither layers nor gamma, no window and the reason. Each compositor is
// the test's own and is skipped, with the reason, where it cannot start.
#include "base/RealLoop.h"
#include "base/VirtualLoop.h"
#include "core/DisplayController.h"
#include "modes/DisplayControlStrip.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeI2c.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/GammaCompositor.h"
#include "platform/linux/HeadlessCompositor.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/MemoryKeyValueStore.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using namespace std::chrono_literals;
using Kind = HeadlessCompositor::Kind;
using ::testing::HasSubstr;

#define START_OR_SKIP(var, kind)                                                                             \
    std::string whyNot;                                                                                      \
    auto var = HeadlessCompositor::start(kind, whyNot);                                                      \
    if (!var)                                                                                                \
    GTEST_SKIP() << whyNot

// A machine whose connectors carry the compositor's output names and answer no DDC/CI, so every display
// is dimmed in software.
struct WaylandDesk {
    WaylandDesk(const HeadlessCompositor& compositor, MainLoop& loop, FdWatcher* events,
                const std::vector<std::string>& connectors)
        : WaylandDesk(compositor.socket(), compositor.busAddress(), loop, events, connectors) {}
    WaylandDesk(const std::string& socket, const std::string& busAddress, MainLoop& loop, FdWatcher* events,
                const std::vector<std::string>& connectors) {
        const char* edids[] = {"B21DE802A937.bin", "0CE9433C3C68.bin", "0A93075F2381.bin"};
        for (std::size_t i = 0; i < connectors.size(); ++i)
            sys.add({connectors[i], "connected", "enabled", sharedEdid(edids[i % 3]), {}, {}});
        LinuxPlatformOptions options;
        options.sysfsRoot = sys.root();
        options.useSystemBus = false;
        options.useX11 = false;
        options.syscalls = i2c.syscalls();
        options.uevents = nullptr;
        options.waylandDisplay = socket;
        options.overlayWindows = true;
        options.stateDir = state.path();
        options.useSessionBus = !busAddress.empty();
        if (options.useSessionBus)
            options.sessionBusAddress = busAddress;
        linux = std::make_unique<LinuxPlatform>(loop, events, options);
        prefs = std::make_unique<BrivioPreferences>(store);
        controller = std::make_unique<DisplayController>(linux->platform(), *prefs);
    }
    ~WaylandDesk() { controller->shutdown(); }
    // A copy: the controller replaces its list at every enumeration.
    std::optional<ManagedDisplay> on(const std::string& connector) {
        for (const auto& d : linux->displays().displays())
            if (d.connector.name == connector)
                if (const ManagedDisplay* found = controller->displayWithID(d.number))
                    return *found;
        return std::nullopt;
    }

    FakeSysfs sys;
    FakeI2c i2c;
    TempDir state;
    std::unique_ptr<LinuxPlatform> linux;
    MemoryKeyValueStore store;
    std::unique_ptr<BrivioPreferences> prefs;
    std::unique_ptr<DisplayController> controller;
};

// Runs the loop until `done` holds or five seconds pass; true when it holds.
template <typename F> bool runWaylandLoopUntil(RealLoop& loop, F done) {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        auto tick = loop.postAfter(20ms, [&] { loop.quit(); });
        loop.run();
        loop.cancel(tick);
    }
    return true;
}

TEST(WaylandDesktop, OnSwayALayerDimsItsOwnOutputPixelByPixel) {
    START_OR_SKIP(sway, Kind::sway);
    RealLoop loop;
    // The third is plugged in, but the compositor shows nothing on it yet.
    WaylandDesk desk(*sway, loop, &loop, {"card0-HEADLESS-1", "card0-HEADLESS-2", "card0-HEADLESS-3"});
    ASSERT_TRUE(loop.runUntilSettled(1min));
    ASSERT_EQ(desk.controller->displays().size(), 2u);
    auto left = desk.on("card0-HEADLESS-1");
    auto right = desk.on("card0-HEADLESS-2");
    ASSERT_TRUE(left && right);
    EXPECT_TRUE(right->capabilities.supportsOverlayDimming);
    EXPECT_FALSE(right->capabilities.softwareDimmingUnavailable);
    // Placed where the compositor put the outputs, in logical pixels.
    Rect r = desk.linux->windowServer().bounds(right->identity.cgID);
    EXPECT_EQ(r.x, desk.linux->windowServer().bounds(left->identity.cgID).width);
    EXPECT_GT(r.width, 0);

    // 40 % is black at 0.75 × 0.6 = 45 % over the white background: 255 × 0.55 ≈ 140.
    desk.controller->setUserBrightness(0.4, right->identity.cgID, false, 0s);
    auto leftMiddle = [&](const Screenshot& s) { return s.at(s.width / 4, s.height / 2); };
    auto rightMiddle = [&](const Screenshot& s) { return s.at(3 * s.width / 4, s.height / 2); };
    std::optional<Screenshot> shot;
    EXPECT_TRUE(runWaylandLoopUntil(loop, [&] {
        shot = grab(*sway);
        return shot && std::abs(rightMiddle(*shot) - 140) <= 3;
    })) << (shot ? rightMiddle(*shot) : -1);
    ASSERT_TRUE(shot);
    EXPECT_EQ(leftMiddle(*shot), 255);
    // Every pixel of the output, to its edges, and none of its neighbour.
    EXPECT_NEAR(shot->at(shot->width / 2, 0), 140, 3);
    EXPECT_NEAR(shot->at(shot->width - 1, shot->height - 1), 140, 3);
    EXPECT_EQ(shot->at(shot->width / 2 - 1, 0), 255);

    // At 100 % nothing is left of it.
    desk.controller->setUserBrightness(1.0, right->identity.cgID, false, 0s);
    EXPECT_TRUE(runWaylandLoopUntil(loop, [&] {
        shot = grab(*sway);
        return shot && rightMiddle(*shot) == 255;
    }));

    // An output the compositor adds comes as a display (headless sway cannot take one away).
    ASSERT_TRUE(sway->run("swaymsg create_output >/dev/null"));
    EXPECT_TRUE(runWaylandLoopUntil(loop, [&] { return desk.on("card0-HEADLESS-3").has_value(); }));
}

TEST(WaylandDesktop, OutputsAreTiedToConnectorsByName) {
    EXPECT_TRUE(outputShowsConnector("HDMI-A-1", "card0-HDMI-A-1"));
    EXPECT_TRUE(outputShowsConnector("HDMI-1", "card1-HDMI-A-1")); // GNOME's name
    EXPECT_TRUE(outputShowsConnector("eDP-1", "card0-eDP-1"));
    EXPECT_FALSE(outputShowsConnector("HDMI-A-1", "card0-HDMI-A-2"));
    EXPECT_FALSE(outputShowsConnector("DP-1", "card0-eDP-1"));
    EXPECT_FALSE(outputShowsConnector("DP-1", "DP-1"));
    // Clockwise quarter turns of the picture are wl_output's counter-clockwise ones; mirroring stays.
    EXPECT_EQ(transformForDegrees(90), 3);
    EXPECT_EQ(transformForDegrees(270, 4), 5);
    for (int degrees : {0, 90, 180, 270})
        EXPECT_EQ(degreesForTransform(transformForDegrees(degrees, 4)), degrees);
}

TEST(WaylandDesktop, OnSwayARotationIsAppliedAndRevertedAfterTenSeconds) {
    START_OR_SKIP(sway, Kind::sway);
    VirtualLoop loop;
    WaylandDesk desk(*sway, loop, nullptr, {"card0-HEADLESS-1", "card0-HEADLESS-2"});
    ASSERT_TRUE(loop.runUntilSettled(1h));
    auto right = desk.on("card0-HEADLESS-2");
    ASSERT_TRUE(right);
    auto& platform = desk.linux->platform();
    EXPECT_FALSE(platform.windowServer.modesUnavailable(right->identity.cgID));
    DisplayModeManager manager(platform.windowServer, platform.registry, platform.rotation);
    DisplayControlStrip strip(loop, manager, *right);
    ASSERT_EQ(strip.state().currentRotation, 0);

    strip.applyRotation(90);
    EXPECT_EQ(strip.state().currentRotation, 90);
    EXPECT_EQ(manager.currentRotation(right->identity.cgID), 90);
    // The compositor turned it (sway counts its turns clockwise, as we do).
    EXPECT_THAT(sway->run("swaymsg -t get_outputs -r").value_or(""), HasSubstr("\"transform\": \"90\""));
    Rect turned = platform.windowServer.bounds(right->identity.cgID);
    EXPECT_GT(turned.height, turned.width);

    loop.advance(9s);
    EXPECT_EQ(manager.currentRotation(right->identity.cgID), 90);
    loop.advance(2s);
    EXPECT_EQ(strip.state().currentRotation, 0);
    EXPECT_EQ(manager.currentRotation(right->identity.cgID), 0);
    EXPECT_FALSE(strip.state().pending(PendingKind::rotation));
}

// Without a layer shell, gamma dims; the compositor keeps our ramps only while we hold the output's
// control, so it is held exactly while a display is dimmed, and nothing is left for a crash to undo.
TEST(WaylandDesktop, GammaIsHeldOnlyWhileADisplayIsDimmed) {
    auto server = GammaCompositor::start({"DP-1", "DP-2"});
    if (!server)
        GTEST_SKIP() << "built without the Wayland server library";
    VirtualLoop loop;
    WaylandDesk desk(server->socket(), "", loop, nullptr, {"card0-DP-1", "card0-DP-2"});
    ASSERT_TRUE(loop.runUntilSettled(1h));
    auto d = desk.on("card0-DP-1");
    ASSERT_TRUE(d);
    EXPECT_FALSE(d->capabilities.supportsOverlayDimming);
    EXPECT_TRUE(d->capabilities.supportsGammaDimming);
    EXPECT_FALSE(server->ramps("DP-1")); // asked whether it can be had, then given back

    // The compositor runs beside the test: a roundtrip makes sure it has handled every request sent.
    auto settle = [&] {
        bool settled = loop.runUntilSettled(1h);
        desk.linux->wayland()->connection().roundtrip();
        return settled;
    };
    desk.controller->setUserBrightness(0.5, d->identity.cgID, false, 0s);
    ASSERT_TRUE(settle());
    auto ramps = server->ramps("DP-1");
    ASSERT_TRUE(ramps && ramps->red.size() == 1024);
    // 0.08 + 0.92 × 0.5 of the identity, on every channel.
    EXPECT_NEAR(ramps->red.back(), 0.54 * 65535, 70);
    EXPECT_NEAR(ramps->blue[512], 0.54 * 65535 * 512 / 1023, 70);
    EXPECT_FALSE(server->ramps("DP-2"));

    desk.controller->setUserBrightness(1.0, d->identity.cgID, false, 0s);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(server->ramps("DP-1"));

    desk.controller->setUserBrightness(0.2, d->identity.cgID, false, 0s);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(server->ramps("DP-1"));
    desk.controller->shutdown();
    desk.linux->wayland()->connection().roundtrip();
    EXPECT_FALSE(server->ramps("DP-1"));
    EXPECT_FALSE(std::filesystem::exists(desk.state.path() + "/gamma.json"));
}

TEST(WaylandDesktop, OnWestonNothingIsDrawnAndTheReasonIsGiven) {
    START_OR_SKIP(weston, Kind::weston);
    RealLoop loop;
    WaylandDesk desk(*weston, loop, &loop, {"card0-DP-1"});
    ASSERT_TRUE(loop.runUntilSettled(1min));
    ASSERT_EQ(desk.controller->displays().size(), 1u);
    ManagedDisplay d = desk.controller->displays().front();
    auto& platform = desk.linux->platform();
    EXPECT_FALSE(d.capabilities.supportsOverlayDimming);
    EXPECT_FALSE(d.capabilities.supportsGammaDimming);
    ASSERT_TRUE(d.capabilities.softwareDimmingUnavailable);
    EXPECT_THAT(*d.capabilities.softwareDimmingUnavailable, HasSubstr("no wlr-layer-shell"));
    EXPECT_THAT(*d.capabilities.softwareDimmingUnavailable, HasSubstr("no wlr-gamma-control"));
    EXPECT_THAT(platform.windowServer.modesUnavailable(d.identity.cgID).value_or(""),
                HasSubstr("no display configuration"));

    // The level is kept, but no window is made: an opaque one would black the display out.
    desk.controller->setUserBrightness(0.4, d.identity.cgID, false, 0s);
    ASSERT_TRUE(loop.runUntilSettled(1min));
    EXPECT_EQ(platform.windowSystem.createOverlayWindow(d.identity.cgID, Rect{0, 0, 100, 100}), nullptr);
    EXPECT_FALSE(desk.controller->overlayDriver().canDim(d.identity.stableKey()));
    EXPECT_FALSE(desk.controller->gammaDriver().hasState(d.identity.stableKey()));
    EXPECT_DOUBLE_EQ(desk.prefs->brightnessByDisplay().at(d.identity.stableKey()), 0.4);
}

TEST(WaylandDesktop, OnMutterAModeChangeGoesThroughGnomesDisplayConfigurationAndIsReverted) {
    START_OR_SKIP(mutter, Kind::mutter);
    VirtualLoop loop;
    WaylandDesk desk(*mutter, loop, nullptr, {"card0-Meta-0"});
    ASSERT_TRUE(loop.runUntilSettled(1h));
    auto d = desk.on("card0-Meta-0");
    ASSERT_TRUE(d);
    auto& platform = desk.linux->platform();
    EXPECT_FALSE(d->capabilities.supportsOverlayDimming); // GNOME has no layer shell
    DisplayModeManager manager(platform.windowServer, platform.registry, platform.rotation);
    DisplayControlStrip strip(loop, manager, *d);
    ASSERT_TRUE(strip.state().currentMode);
    EXPECT_EQ(strip.state().currentMode->label(), "1920 × 1080");
    // The monitor at twice the scale is the same pixels drawn as HiDPI.
    ASSERT_TRUE(strip.hasBothScaleKinds());

    strip.toggleHiDPI();
    ASSERT_TRUE(strip.state().currentMode);
    EXPECT_EQ(strip.state().currentMode->label(), "960 × 540 HiDPI");
    EXPECT_TRUE(manager.currentMode(d->identity.cgID)->isHiDPI);
    EXPECT_TRUE(strip.state().pending(PendingKind::mode));

    loop.advance(11s);
    EXPECT_FALSE(strip.state().pending(PendingKind::mode));
    EXPECT_FALSE(manager.currentMode(d->identity.cgID)->isHiDPI);

    // Rotation goes the same way.
    strip.applyRotation(180);
    EXPECT_EQ(manager.currentRotation(d->identity.cgID), 180);
    strip.keepRotation();
    loop.advance(11s);
    EXPECT_EQ(manager.currentRotation(d->identity.cgID), 180);
}

} // namespace
} // namespace brivio
