#include "platform/linux/EdidData.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/LinuxWindowServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using ::testing::ElementsAre;
using ::testing::Pair;

// The connectors are in place before the backend takes its first look.
struct DesktopSysfs {
    DesktopSysfs() {
        sys.add({"card0-eDP-1", "connected", "enabled", sharedEdid(laptopPanel), {}, {}});
        sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}});
        sys.add({"card0-DP-1", "connected", "disabled", sharedEdid(asusMonitor), {}, 8});
        sys.add({"card0-DP-2", "disconnected", "disabled", {}, 9, {}});
    }
    FakeSysfs sys;
};

struct LinuxDesktop : DesktopSysfs, ::testing::Test {
    LinuxDisplays displays{DrmConnectorScanner(sys.root())};
    LinuxWindowServer server{displays};
    LinuxRegistry registry{displays};
};

TEST_F(LinuxDesktop, ListsIdentitiesAndLaysActiveDisplaysOutLeftToRight) {
    EXPECT_THAT(*server.onlineDisplays(), ElementsAre(1u, 2u, 3u)); // eDP, DP-1, HDMI-A-1
    EXPECT_THAT(*server.activeDisplays(), ElementsAre(1u, 3u));

    EXPECT_TRUE(server.isBuiltin(1));
    EXPECT_EQ(server.vendorNumber(3), 4268u);
    EXPECT_EQ(server.serialNumber(3), 809913676u);
    EXPECT_FALSE(server.isBuiltin(3));
    EXPECT_THAT((std::vector{server.unitNumber(1), server.unitNumber(2), server.unitNumber(3)}),
                ElementsAre(0u, 1u, 3u)); // the disconnected DP-2 keeps unit 2

    EXPECT_EQ(server.bounds(1), (Rect{0, 0, 1920, 1080}));
    auto monitor = server.bounds(3);
    EXPECT_EQ(monitor.x, 1920); // the disabled DP-1 takes no room
    EXPECT_EQ(monitor.width, 3840);
    EXPECT_EQ(server.bounds(2), Rect{});

    // Unknown numbers answer with nothing rather than another display's facts.
    EXPECT_EQ(server.vendorNumber(99), 0u);
    EXPECT_FALSE(server.isBuiltin(99));
    int result = 0;
    EXPECT_EQ(server.beginConfiguration(result), nullptr);
    EXPECT_NE(result, 0);
    GammaTables tables;
    EXPECT_NE(server.getTransferTables(1, tables), 0);
}

TEST_F(LinuxDesktop, HotPlugReachesTheReconfigurationCallbacks) {
    std::vector<std::pair<DisplayNumber, std::uint32_t>> events;
    int id = server.registerReconfigurationCallback(
        [&](DisplayNumber d, std::uint32_t f) { events.emplace_back(d, f); });

    sys.add({"card0-DP-1", "connected", "enabled", sharedEdid(asusMonitor), {}, 8});
    sys.add({"card0-HDMI-A-1", "disconnected", "disabled", {}, 5, {}});
    sys.add({"card0-DP-2", "connected", "disabled", sharedEdid(dellMonitor), 9, {}});
    displays.refresh(); // what a hot-plug event does
    using namespace ReconfigurationFlags;
    EXPECT_THAT(events, ElementsAre(Pair(2u, enabled), Pair(3u, remove | disabled), Pair(4u, add)));
    EXPECT_THAT(*server.activeDisplays(), ElementsAre(1u, 2u));
    EXPECT_EQ(server.bounds(2).x, 1920);

    events.clear();
    server.unregisterReconfigurationCallback(id);
    sys.remove("card0-DP-2");
    displays.refresh();
    EXPECT_TRUE(events.empty());
}

TEST_F(LinuxDesktop, RegistryPublishesOneServicePerConnectedMonitor) {
    EXPECT_TRUE(registry.matchingServices("AppleDisplay").services.empty());
    auto listing = registry.matchingServices(drmConnectorClass);
    ASSERT_EQ(listing.result, 0);
    ASSERT_EQ(listing.services.size(), 3u);

    auto hdmi = listing.services[2];
    auto props = *registry.properties(hdmi);
    EXPECT_EQ(props.at("DisplayVendorID").asUInt32(), 4268u);
    EXPECT_EQ(props.at("DisplayProductID").asUInt32(), 41268u);
    EXPECT_EQ(props.at("DisplayUnit").asUInt32(), 3u);
    EXPECT_EQ(*props.at("EDID").asBytes(), sharedEdid(dellMonitor));
    EXPECT_TRUE(props.count("IOAVServiceUserInterfaceSupported"));
    EXPECT_EQ(registry.searchPropertyWithParents(hdmi, "EDID")->asBytes()->size(), 256u);

    // The panel has no DDC bus; the DisplayPort monitor's bus sits in its AUX adapter.
    EXPECT_FALSE(registry.property(listing.services[0], "IOAVServiceUserInterfaceSupported"));
    EXPECT_EQ(registry.property(listing.services[1], "I2CBus")->asUInt32(), 8u);

    // A monitor that went away takes its service with it; back again, it is a new service.
    sys.add({"card0-HDMI-A-1", "disconnected", "disabled", {}, 5, {}});
    displays.refresh();
    EXPECT_EQ(registry.matchingServices(drmConnectorClass).services.size(), 2u);
    EXPECT_FALSE(registry.properties(hdmi));
    EXPECT_NE(registry.setIntegerParameter(hdmi, "Rotation", 90), 0);
    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}});
    displays.refresh();
    EXPECT_NE(registry.matchingServices(drmConnectorClass).services.back().registryID, hdmi.registryID);
}

} // namespace
} // namespace brivio
