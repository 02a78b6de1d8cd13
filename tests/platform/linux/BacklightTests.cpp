#include "platform/linux/Backlight.h"
#include "platform/linux/DrmConnector.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeSysfs.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;

TEST(Backlight, TheBuiltInPanelsLinkedDeviceWinsElseTheTypeOrder) {
    FakeSysfs sys;
    sys.add({"card0-eDP-1", "connected", "enabled", sharedEdid(laptopPanel), {}, {}});
    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}});
    sys.addBacklight("ddcci5", "raw", 80, 100, "card0-HDMI-A-1"); // an external monitor's
    sys.addBacklight("mystery", "unknown-kind", 1, 2);
    auto connectors = DrmConnectorScanner(sys.root()).scan();
    BacklightScanner scanner(sys.root());
    EXPECT_FALSE(chooseBacklight(scanner.scan(), connectors));

    sys.addBacklight("acpi_video0", "firmware", 5, 10); // nothing linked to the panel: firmware
    EXPECT_EQ(chooseBacklight(scanner.scan(), connectors).value().level(), 0.5);

    sys.addBacklight("intel_backlight", "raw", 19200, 96000, "card0-eDP-1");
    auto chosen = chooseBacklight(scanner.scan(), connectors).value();
    EXPECT_EQ(chosen.name, "intel_backlight");
    EXPECT_DOUBLE_EQ(*chosen.level(), 0.2);

    FakeSysfs::write(chosen.path / "brightness", "96000\n");
    EXPECT_EQ(scanner.readLevel(chosen), 1.0);
    FakeSysfs::write(chosen.path / "max_brightness", "0\n");
    EXPECT_EQ(scanner.readLevel(chosen), std::nullopt);
    FakeSysfs::write(chosen.path / "brightness", "garbage\n");
    EXPECT_EQ(scanner.readLevel(chosen), std::nullopt);
}

TEST(Backlight, TypeOrderAndUnreadableDevices) {
    FakeSysfs sys;
    sys.addBacklight("b_raw", "raw", 1, 2);
    sys.addBacklight("c_platform", "platform", 1, 2);
    sys.addBacklight("a_unknown", "", 1, 2);
    auto broken = sys.addBacklight("d_firmware", "firmware", 1, 2);
    FakeSysfs::write(broken / "max_brightness", "");
    auto backlights = BacklightScanner(sys.root()).scan();
    EXPECT_EQ(backlights.size(), 3u); // the unreadable firmware device is left out
    EXPECT_EQ(chooseBacklight(backlights, {})->name, "c_platform");

    sys.addBacklight("e_over", "raw", 300, 200); // brightness above max reads as full
    EXPECT_EQ(BacklightScanner(sys.root()).scan().back().level(), 1.0);
}

} // namespace
} // namespace brivio
