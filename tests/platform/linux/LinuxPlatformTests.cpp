#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "core/DisplayController.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeI2c.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SysfsFiles.h"
#include "settings/MemoryKeyValueStore.h"

#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using namespace std::chrono_literals;

// The controller on the Linux platform over a fake machine: a laptop panel with a backlight, a monitor
// that answers DDC/CI on its bus, and one whose bus the user may not open.
struct LinuxDeskTest : ::testing::Test {
    LinuxDeskTest() {
        sys.add({"card0-eDP-1", "connected", "enabled", sharedEdid("C8D6E1541720.bin"), {}, {}});
        sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid("B21DE802A937.bin"), 5, {}});
        sys.add({"card0-DP-1", "connected", "enabled", sharedEdid("0CE9433C3C68.bin"), 6, {}});
        backlight = sys.addBacklight("intel_backlight", "raw", 48000, 96000, "card0-eDP-1");
        // Brightness 50 of 100; contrast, volume and input do not answer.
        i2c.buses[5].replies.push_back({0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00});
        i2c.buses[6].openError = EACCES;
        LinuxPlatformOptions options;
        options.sysfsRoot = sys.root();
        options.useSystemBus = false;
        options.useX11 = false;
        options.useWayland = false;
        options.useSessionBus = false;
        options.syscalls = i2c.syscalls();
        linux = std::make_unique<LinuxPlatform>(loop, nullptr, options);
        prefs = std::make_unique<BrivioPreferences>(store);
        controller = std::make_unique<DisplayController>(linux->platform(), *prefs);
        EXPECT_TRUE(loop.runUntilSettled(std::chrono::minutes(1)));
    }
    ~LinuxDeskTest() override {
        controller->shutdown();
        loop.runUntilSettled(std::chrono::minutes(1));
    }
    const ManagedDisplay& display(DisplayNumber n) { return *controller->displayWithID(n); }

    CaptureLog log;
    FakeSysfs sys;
    FakeI2c i2c;
    std::filesystem::path backlight;
    VirtualLoop loop;
    std::unique_ptr<LinuxPlatform> linux;
    MemoryKeyValueStore store;
    std::unique_ptr<BrivioPreferences> prefs;
    std::unique_ptr<DisplayController> controller;
};

TEST_F(LinuxDeskTest, EachDisplayGetsItsPathAndChangesReachTheHardware) {
    ASSERT_EQ(controller->displays().size(), 3u);
    EXPECT_TRUE(display(1).isBuiltIn);
    EXPECT_TRUE(display(1).capabilities.supportsHardwareBrightness);  // the backlight
    EXPECT_TRUE(display(3).capabilities.supportsHardwareBrightness);  // DDC/CI on bus 5
    EXPECT_FALSE(display(2).capabilities.supportsHardwareBrightness); // bus 6 refused

    EXPECT_THAT(i2c.busesWritten(), ::testing::ElementsAre(5, 6)); // 6 only tried, and refused
    i2c.events.clear();
    controller->applyBrightness(display(3), 0.8, false);
    controller->applyBrightness(display(1), 0.25, false);
    EXPECT_TRUE(loop.runUntilSettled(std::chrono::minutes(1)));
    ASSERT_FALSE(i2c.events.empty());
    EXPECT_EQ(i2c.events.back(), (I2cEvent{"write", 5, 0x37, {0x51, 0x84, 0x03, 0x10, 0x00, 0x50, 0xF8}}));
    EXPECT_EQ(sysfs::readNumber(backlight / "brightness"), 24000u);
}

} // namespace
} // namespace brivio
