#include "base/Log.h"
#include "base/RealLoop.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/GammaBaselines.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/LinuxWindowServer.h"
#include "platform/linux/RandrScreen.h"
#include "platform/linux/XvfbServer.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;

TEST(GammaResampling, RampsOfAnySizeMapOntoTheTablesAndBack) {
    for (std::size_t size : {2u, 256u, 1024u, 4096u}) {
        GammaRamp ramp;
        for (std::size_t i = 0; i < size; ++i) {
            auto v = static_cast<std::uint16_t>(std::lround(65535.0 * i / (size - 1)));
            ramp.red.push_back(v);
            ramp.green.push_back(static_cast<std::uint16_t>(v / 2));
            ramp.blue.push_back(65535);
        }
        GammaTables tables = tablesFromRamp(ramp);
        EXPECT_FLOAT_EQ(tables.red.front(), 0) << size;
        EXPECT_FLOAT_EQ(tables.red.back(), 1) << size;
        EXPECT_NEAR(tables.red[128], 128 / 255.0, 1e-4) << size;
        EXPECT_NEAR(tables.green.back(), 0.5, 1e-4) << size;
        GammaRamp back = rampFromTables(tables, size);
        ASSERT_EQ(back.size(), size);
        for (std::size_t i = 0; i < size; ++i)
            ASSERT_NEAR(back.red[i], ramp.red[i], size > 256 ? 2 : 1) << size << " at " << i;
    }
    GammaTables wild;
    wild.red.fill(2.0f);
    wild.green.fill(-1.0f);
    wild.blue.fill(NAN);
    GammaRamp clamped = rampFromTables(wild, 4);
    EXPECT_EQ(clamped.red, (std::vector<std::uint16_t>{65535, 65535, 65535, 65535}));
    EXPECT_EQ(clamped.green, (std::vector<std::uint16_t>{0, 0, 0, 0}));
    EXPECT_EQ(clamped.blue, (std::vector<std::uint16_t>{0, 0, 0, 0}));
}

TEST(GammaBaselines, KeptInAFileUntilCleared) {
    TempDir dir;
    const auto file = std::filesystem::path(dir.path()) / "state" / "gamma.json";
    GammaRamp original{{0, 30000, 65535}, {0, 30000, 65535}, {0, 30000, 65535}};
    GammaRamp dimmed{{0, 15000, 32000}, {0, 15000, 32000}, {0, 15000, 32000}};
    {
        GammaBaselines first(file);
        EXPECT_EQ(first.remember("HDMI-1:1", original), original);
        EXPECT_EQ(first.remember("HDMI-1:1", dimmed), original); // later sights keep the first
    }
    {
        CaptureLog log;
        GammaBaselines afterCrash(file);
        EXPECT_EQ(afterCrash.remember("HDMI-1:1", dimmed), original);
        EXPECT_TRUE(log.contains("an earlier run left 1 display(s) changed"));
        afterCrash.clear();
    }
    EXPECT_FALSE(std::filesystem::exists(file));

    const char* damaged[] = {"not json", R"({"a":{"red":[1,2],"green":[1],"blue":[1,2]}})",
                             R"({"a":{"red":[70000],"green":[1],"blue":[1]}})", R"({"a":{"red":[]}})"};
    for (const char* text : damaged) {
        std::ofstream(file) << text;
        GammaBaselines loaded(file);
        EXPECT_TRUE(loaded.empty()) << text;
    }
}

// A virtual X server with its one output "screen" showing the monitor of a fake connector.
struct RandrTest : ::testing::Test {
    void SetUp() override {
        xvfb = XvfbServer::start();
        if (!xvfb)
            GTEST_SKIP() << "Xvfb is not installed or did not start";
        randr = RandrScreen::open(xvfb->display());
        ASSERT_TRUE(randr) << "Xvfb without RandR";
        ASSERT_FALSE(randr->outputs().empty());
        edid = sharedEdid("B21DE802A937.bin");
        ASSERT_TRUE(randr->setEdidProperty(randr->outputs().front().id, edid));
        sys.add({"card0-HDMI-A-1", "connected", "enabled", edid, {}, {}});
        sys.add({"card0-DP-1", "connected", "enabled", sharedEdid("0CE9433C3C68.bin"), {}, {}});
        displays = std::make_unique<LinuxDisplays>(DrmConnectorScanner(sys.root()));
        gammaFile = std::filesystem::path(state.path()) / "gamma.json";
    }
    DisplayNumber numberOf(std::string_view connector) const {
        for (const auto& d : displays->displays())
            if (d.connector.name == connector)
                return d.number;
        return 0;
    }
    DisplayNumber tied() const { return numberOf("card0-HDMI-A-1"); }
    DisplayNumber untied() const { return numberOf("card0-DP-1"); }

    std::unique_ptr<XvfbServer> xvfb;
    std::unique_ptr<RandrScreen> randr;
    std::vector<std::uint8_t> edid;
    FakeSysfs sys;
    TempDir state;
    std::filesystem::path gammaFile;
    std::unique_ptr<LinuxDisplays> displays;
};

TEST_F(RandrTest, TheOutputWithTheMonitorsEdidGivesBoundsAndModes) {
    LinuxWindowServer server(*displays, randr.get(), gammaFile);
    EXPECT_EQ(server.bounds(tied()), (Rect{0, 0, 1280, 1024}));
    auto modes = server.allDisplayModes(tied());
    ASSERT_TRUE(modes);
    ASSERT_EQ(modes->size(), 1u); // Xvfb offers its one screen size
    EXPECT_EQ(modes->front().width, 1280u);
    EXPECT_EQ(modes->front().refreshRate, 0); // and no timing
    EXPECT_EQ(server.currentDisplayMode(tied()), modes->front());
    EXPECT_EQ(server.rotation(tied()), 0);

    int result = -1;
    auto config = server.beginConfiguration(result);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->configureMode(tied(), modes->front()), 0);
    EXPECT_EQ(config->completePermanently(), 0);
    EXPECT_EQ(server.currentDisplayMode(tied()), modes->front());

    // The other monitor has no output of its own: the connector layout, and nothing to change.
    EXPECT_FALSE(server.allDisplayModes(untied()));
    PlatformMode made{modes->front()};
    EXPECT_EQ(server.beginConfiguration(result)->configureMode(untied(), made), resultIllegalArgument);
    GammaTables tables;
    EXPECT_EQ(server.getTransferTables(untied(), tables), resultNotImplemented);
}

TEST_F(RandrTest, RotationTurnsTheOutputOrIsRefusedWithNothingChanged) {
    LinuxWindowServer server(*displays, randr.get(), gammaFile);
    int result = server.setDisplayRotation(tied(), 90);
    if (result != 0) {
        EXPECT_EQ(server.rotation(tied()), 0);
        EXPECT_EQ(server.bounds(tied()), (Rect{0, 0, 1280, 1024}));
        GTEST_SKIP() << "Xvfb does not rotate its output";
    }
    EXPECT_EQ(server.rotation(tied()), 90);
    EXPECT_EQ(server.bounds(tied()), (Rect{0, 0, 1024, 1280}));
}

TEST_F(RandrTest, GammaIsScaledAndAfterACrashTheNextStartPutsTheOriginalBack) {
    const auto crtc = randr->outputs().front().crtc;
    if (randr->gammaSize(crtc) == 0)
        GTEST_SKIP() << "this Xvfb has no gamma ramps";
    // Xvfb starts with ramps of zeros; a calibration as a real desktop would have.
    GammaRamp original;
    for (std::size_t i = 0; i < randr->gammaSize(crtc); ++i)
        for (auto* channel : {&original.red, &original.green, &original.blue})
            channel->push_back(static_cast<std::uint16_t>(i * 65535 / (randr->gammaSize(crtc) - 1)));
    ASSERT_TRUE(randr->setGamma(crtc, original));
    ASSERT_EQ(*randr->gamma(crtc), original);
    GammaTables half;
    {
        LinuxWindowServer server(*displays, randr.get(), gammaFile);
        GammaTables tables;
        ASSERT_EQ(server.getTransferTables(tied(), tables), 0);
        half = tables;
        for (auto* channel : {&half.red, &half.green, &half.blue})
            for (auto& v : *channel)
                v *= 0.5f;
        ASSERT_EQ(server.setTransferTables(tied(), half), 0);
        GammaTables read;
        ASSERT_EQ(server.getTransferTables(tied(), read), 0);
        EXPECT_NEAR(read.red.back(), half.red.back(), 1e-4);
        EXPECT_NE(*randr->gamma(crtc), original);
    } // gone without restoring, as in a crash: the file stays
    ASSERT_TRUE(std::filesystem::exists(gammaFile));
    { LinuxWindowServer untouched(*displays, randr.get(), gammaFile); } // a run that never restores
    ASSERT_TRUE(std::filesystem::exists(gammaFile));
    {
        LinuxWindowServer next(*displays, randr.get(), gammaFile);
        next.restoreColorSyncSettings();
        EXPECT_EQ(*randr->gamma(crtc), original);
    }
    EXPECT_FALSE(std::filesystem::exists(gammaFile)); // all back: nothing left to undo
}

TEST_F(RandrTest, AnOutputChangeReachesThePlatformThroughTheLoop) {
    RealLoop loop;
    LinuxPlatformOptions options;
    options.sysfsRoot = sys.root();
    options.useSystemBus = false;
    options.useSessionBus = false;
    options.uevents = nullptr;
    options.x11Display = xvfb->display();
    options.stateDir = state.path();
    LinuxPlatform linux(loop, &loop, options);
    ASSERT_TRUE(linux.randr());
    EXPECT_EQ(linux.platform().windowServer.bounds(tied()), (Rect{0, 0, 1280, 1024}));
    EXPECT_TRUE(linux.platform().rotation.process.setDisplayRotation);

    int changes = 0;
    auto sub = linux.platform().windowSystem.screenParametersChanged().subscribe([&] {
        ++changes;
        loop.quit();
    });
    // Another client (here: the test's own connection) changes the output.
    randr->setEdidProperty(randr->outputs().front().id, edid);
    auto stop = loop.postAfter(std::chrono::seconds(3), [&] { loop.quit(); });
    loop.run();
    loop.cancel(stop);
    EXPECT_GE(changes, 1);
}

TEST(Randr, NoServerMeansNoScreen) {
    CaptureLog log;
    EXPECT_FALSE(RandrScreen::open(std::string(":9999")));
    EXPECT_TRUE(log.contains("X11: cannot open display :9999"));
}

} // namespace
} // namespace brivio
