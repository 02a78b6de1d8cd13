#include "platform/linux/ConnectorNumbers.h"
#include "platform/linux/DrmConnector.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeSysfs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using ::testing::ElementsAre;

std::vector<std::string> names(const std::vector<DrmConnector>& connectors) {
    std::vector<std::string> out;
    for (const auto& c : connectors)
        out.push_back(c.name);
    return out;
}

TEST(DrmConnector, NamesSplitIntoCardTypeAndIndex) {
    const std::pair<const char*, const char*> cases[] = {{"card0-eDP-1", "0 eDP 1"},
                                                         {"card1-HDMI-A-2", "1 HDMI-A 2"},
                                                         {"card12-DVI-I-10", "12 DVI-I 10"},
                                                         {"card0", ""},
                                                         {"renderD128", ""},
                                                         {"card-DP-1", ""},
                                                         {"cardX-DP-1", ""},
                                                         {"card0-DP-", ""},
                                                         {"card0--1", ""},
                                                         {"card0-DP-1x", ""}};
    for (auto [name, expected] : cases) {
        auto p = parseConnectorName(name);
        EXPECT_EQ(p ? std::to_string(p->card) + " " + p->type + " " + std::to_string(p->index) : "", expected)
            << name;
    }
}

TEST(DrmConnector, ScanReadsStatusEdidAndDdcBus) {
    FakeSysfs sys;
    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}});
    sys.add({"card0-DP-1", "disconnected", "disabled", {}, 7, {}});
    sys.add({"card0-DP-2", "connected", "disabled", sharedEdid(asusMonitor), {}, 9});
    sys.add({"card0-eDP-1", "connected", "enabled", sharedEdid(laptopPanel), {}, {}});
    sys.add({"card0-DP-3", "connected", "enabled", sharedEdid("damaged-allff.bin"), {}, {}});

    auto connectors = DrmConnectorScanner(sys.root()).scan();

    ASSERT_THAT(names(connectors),
                ElementsAre("card0-eDP-1", "card0-DP-1", "card0-DP-2", "card0-DP-3", "card0-HDMI-A-1"));
    const auto& panel = connectors[0];
    EXPECT_TRUE(panel.builtIn && panel.connected && panel.enabled);
    EXPECT_EQ(panel.edid->vendorId, 1711);
    EXPECT_EQ(panel.i2cBus, std::nullopt);

    EXPECT_FALSE(connectors[1].connected);
    EXPECT_TRUE(connectors[1].edidBytes.empty());
    EXPECT_EQ(connectors[1].i2cBus, 7);

    EXPECT_TRUE(connectors[2].connected);
    EXPECT_FALSE(connectors[2].enabled);
    EXPECT_EQ(connectors[2].i2cBus, 9); // the adapter inside the connector

    EXPECT_EQ(connectors[3].edidBytes.size(), 128u); // bytes kept, but they are no EDID
    EXPECT_FALSE(connectors[3].edid);

    const auto& dell = connectors[4];
    EXPECT_FALSE(dell.builtIn);
    EXPECT_EQ(dell.type, "HDMI-A");
    EXPECT_EQ(dell.i2cBus, 5);

    EXPECT_TRUE(DrmConnectorScanner(sys.root() / "absent").scan().empty());
}

TEST(ConnectorNumbers, StayWhileConnectedAndAreNewAfterAReconnectOrAnotherMonitor) {
    FakeSysfs sys;
    DrmConnectorScanner scanner(sys.root());
    ConnectorNumbers numbers;
    sys.add({"card0-eDP-1", "connected", "enabled", sharedEdid(laptopPanel), {}, {}});
    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}});
    numbers.update(scanner.scan());
    EXPECT_EQ(numbers.numberOf("card0-eDP-1"), 1u);
    EXPECT_EQ(numbers.numberOf("card0-HDMI-A-1"), 2u);

    sys.add({"card0-HDMI-A-1", "connected", "disabled", sharedEdid(dellMonitor), 5, {}});
    numbers.update(scanner.scan());
    EXPECT_EQ(numbers.numberOf("card0-HDMI-A-1"), 2u); // disabling keeps the number

    sys.add({"card0-HDMI-A-1", "disconnected", "disabled", {}, 5, {}});
    numbers.update(scanner.scan());
    EXPECT_EQ(numbers.numberOf("card0-HDMI-A-1"), std::nullopt);
    EXPECT_EQ(numbers.connectorOf(2), std::nullopt);

    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}});
    numbers.update(scanner.scan());
    EXPECT_EQ(numbers.numberOf("card0-HDMI-A-1"), 3u);

    // Swapped between two scans: the old number must not follow the cable to another monitor.
    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(asusMonitor), 5, {}});
    numbers.update(scanner.scan());
    EXPECT_EQ(numbers.numberOf("card0-HDMI-A-1"), 4u);
    EXPECT_EQ(numbers.connectorOf(4), "card0-HDMI-A-1");
    EXPECT_EQ(numbers.numberOf("card0-eDP-1"), 1u);
}

} // namespace
} // namespace brivio
