#include "base/Log.h"
#include "drivers/DDCTransport.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeI2c.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/LinuxI2cChannel.h"
#include "platform/linux/LinuxRegistry.h"

#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using ::testing::ElementsAre;

// Connectors with every way a bus can, or cannot, belong to a monitor.
struct I2cDesk : ::testing::Test {
    I2cDesk() {
        sys.add({"card0-eDP-1", "connected", "enabled", sharedEdid(laptopPanel), {}, {}});
        sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}}); // ddc link
        sys.add({"card0-DP-1", "connected", "enabled", sharedEdid(asusMonitor), {}, 8}); // AUX, EDID matches
        sys.add({"card0-DP-2", "connected", "enabled", other, {}, 9});     // AUX answering another EDID
        sys.add({"card0-DVI-I-1", "connected", "enabled", third, {}, {}}); // no bus named at all
        sys.add({"card0-DP-3", "disconnected", "disabled", {}, 7, {}});
        sys.addCardAdapter(3);
        i2c.buses[0].edid = sharedEdid(dellMonitor); // not the card's: never touched
        i2c.buses[3].edid = third;
        i2c.buses[5].edid = sharedEdid(dellMonitor);
        i2c.buses[7].edid = other; // answers with DP-2's EDID, yet belongs to DP-3
        i2c.buses[8].edid = sharedEdid(asusMonitor);
        i2c.buses[9].edid = sharedEdid(dellMonitor);
        displays.refresh();
    }
    std::vector<std::uint8_t> other = makeEdid(0x1111, 2, 3);
    std::vector<std::uint8_t> third = makeEdid(0x2222, 4, 5);
    FakeSysfs sys;
    FakeI2c i2c;
    LinuxDisplays displays{DrmConnectorScanner(sys.root())};
    DisplayBuses buses{sys.root(), i2c.syscalls()};
    AVServiceSymbols symbols = linuxAVServiceSymbols(displays, buses);

    RegistryService service(const std::string& connector) {
        for (const auto& d : displays.displays())
            if (d.connector.name == connector)
                return {d.registryID, drmConnectorClass};
        return {};
    }
    AVServiceHandle open(const std::string& connector) {
        return symbols.createWithService(service(connector));
    }
};

TEST_F(I2cDesk, OnlyBusesTiedToAMonitorAreEverOpenedForWriting) {
    const std::pair<const char*, int> cases[] = {{"card0-eDP-1", -1},  {"card0-HDMI-A-1", 5},
                                                 {"card0-DP-1", 8},    {"card0-DP-2", -1},
                                                 {"card0-DVI-I-1", 3}, {"card0-DP-3", -1}};
    std::vector<AVServiceHandle> handles;
    for (auto [connector, bus] : cases) {
        auto handle = open(connector);
        auto channel = dynamic_cast<LinuxI2cChannel*>(handle.get());
        EXPECT_EQ(channel ? channel->bus() : -1, bus) << connector;
        if (handle) {
            EXPECT_TRUE(setVCP(symbols, handle, ddc::brightness, 50));
            handles.push_back(handle);
        }
    }
    EXPECT_THAT(i2c.busesWritten(), ElementsAre(3, 5, 8));
    for (const auto& e : i2c.events) {
        EXPECT_NE(e.bus, 0) << e.what; // a bus outside the graphics card
        EXPECT_NE(e.bus, 7) << e.what; // the bus of a connector with no monitor
        if (e.what == "write") {
            EXPECT_EQ(e.chip, ddcChipAddress);
        }
    }

    // The registry offers a channel only where one can be opened.
    LinuxRegistry registry(displays, &buses);
    for (auto [connector, bus] : cases) {
        if (auto props = registry.properties(service(connector))) {
            EXPECT_EQ(props->count("IOAVServiceUserInterfaceSupported"), bus >= 0 ? 1u : 0u) << connector;
        }
    }

    handles.clear();
    EXPECT_EQ(i2c.openCount, i2c.closeCount);
}

TEST_F(I2cDesk, TransfersCarryTheExactDdcBytesAndNothingElse) {
    auto handle = open("card0-HDMI-A-1");
    ASSERT_TRUE(handle);
    i2c.events.clear();
    ASSERT_TRUE(setVCP(symbols, handle, ddc::volume, 0x1234));
    std::vector<std::uint8_t> reply{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00};
    i2c.buses[5].replies.push_back(reply);
    std::vector<std::uint8_t> buffer(11);
    EXPECT_EQ(symbols.readI2C(handle, 0x37, 0, buffer.data(), 11), 0);
    EXPECT_EQ(buffer, reply);
    EXPECT_THAT(i2c.events,
                ElementsAre(I2cEvent{"write", 5, 0x37, {0x51, 0x84, 0x03, 0x62, 0x12, 0x34, 0xFC}},
                            I2cEvent{"read", 5, 0x37, {11}}));

    // The monitor's EDID EEPROM shares the bus: no address but the DDC/CI one is reached.
    i2c.events.clear();
    const std::uint8_t bytes[] = {0x00, 0xFF};
    EXPECT_EQ(symbols.writeI2C(handle, 0x50, 0x00, bytes, 2), EINVAL);
    EXPECT_EQ(symbols.readI2C(handle, 0x50, 0, buffer.data(), 11), EINVAL);
    EXPECT_EQ(symbols.readI2C(handle, 0x37, 4, buffer.data(), 11), EINVAL);
    EXPECT_EQ(symbols.writeI2C(handle, 0x37, 0x151, bytes, 2), EINVAL);
    EXPECT_TRUE(i2c.events.empty());

    // A monitor that does not answer is a failed read, not a zero-filled reply.
    EXPECT_EQ(symbols.readI2C(handle, 0x37, 0, buffer.data(), 11), ENXIO);
}

TEST_F(I2cDesk, LookalikeMonitorsWithoutBusesAreNotGuessed) {
    sys.add({"card0-DVI-I-2", "connected", "enabled", third, {}, {}});
    displays.refresh();
    EXPECT_FALSE(open("card0-DVI-I-1"));
    EXPECT_FALSE(open("card0-DVI-I-2"));
    EXPECT_THAT(i2c.busesWritten(), ElementsAre());
}

TEST_F(I2cDesk, ABusThatCannotBeOpenedSaysOnceWhatToDo) {
    const std::pair<int, const char*> cases[] = {
        {EACCES, "rules.d/60-brivio-i2c.rules opens the bus to group i2c"},
        {ENOENT, "run 'sudo modprobe i2c-dev'"},
        {EBUSY, "another program holds it"}};
    for (auto [error, advice] : cases) {
        CaptureLog log;
        i2c.buses[5].openError = error;
        EXPECT_FALSE(open("card0-HDMI-A-1"));
        EXPECT_FALSE(open("card0-HDMI-A-1"));
        EXPECT_EQ(log.count("I2C: cannot open /dev/i2c-5 for card0-HDMI-A-1 — software dimming only; "), 1u)
            << advice;
        EXPECT_EQ(log.count(advice), 1u) << advice;
        // An installed user has no source tree: the advice names installed files and the manual.
        EXPECT_EQ(log.count("packaging/") + log.count("docs/"), 0u) << advice;
        EXPECT_EQ(buses.accessError(5), error);
    }
}

} // namespace
} // namespace brivio
