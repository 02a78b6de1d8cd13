#include "base/VirtualLoop.h"
#include "platform/sim/SimDesk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace brivio {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::HasSubstr;

// One external monitor reached through the desk's AV-service entry points, as the DDC layer reaches it.
struct Bus {
    explicit Bus(const std::string& ddc)
        : desk(loop, Scenario::parse(R"({"displays": [{"name": "M", "vendor": 16, "product": 48, "serial": 5,
              "unit": 1)" + (ddc.empty() ? std::string() : ", \"ddc\": " + ddc) +
                                         "}]}",
                                     "t.json")),
          av(desk.platform().avService) {
        for (auto& s : desk.registry().matchingServices("DCPAVServiceProxy").services)
            handle = av.createWithService(s);
    }
    int write(Bytes bytes) {
        return av.writeI2C(handle, 0x37, 0x51, bytes.data(), std::uint32_t(bytes.size()));
    }
    Bytes read(int* rc = nullptr) {
        Bytes out(11, 0xEE);
        int r = av.readI2C(handle, 0x37, 0, out.data(), 11);
        if (rc)
            *rc = r;
        return out;
    }
    static Bytes getRequest(std::uint8_t code) { return {0x82, 0x01, code, std::uint8_t(code ^ 0xBC)}; }
    static Bytes setRequest(std::uint8_t code, std::uint16_t v) {
        std::uint8_t hi = std::uint8_t(v >> 8), lo = std::uint8_t(v);
        return {0x84, 0x03, code, hi, lo, std::uint8_t(0xB8 ^ code ^ hi ^ lo)};
    }
    Bytes get(std::uint8_t code) {
        write(getRequest(code));
        loop.advance(50ms);
        return read();
    }

    VirtualLoop loop;
    SimDesk desk;
    AVServiceSymbols av;
    AVServiceHandle handle;
};

const char* monitor = R"({"vcp": {"0x10": [50, 100], "0x62": [300, 4660], "0xD6": [1, 0]}})";

TEST(DDCMonitor, AnswersGetVcpWithTheExactReply) {
    Bus bus(monitor);
    ASSERT_TRUE(bus.handle);
    EXPECT_EQ(bus.get(0x10), (Bytes{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0xF2}));
    EXPECT_EQ(bus.get(0x62), (Bytes{0x6E, 0x88, 0x02, 0x00, 0x62, 0x00, 0x12, 0x34, 0x01, 0x2C, 0xDD}));
    // Unsupported code: result 01 and zero values; the checksum still covers every byte.
    EXPECT_EQ(bus.get(0x12), (Bytes{0x6E, 0x88, 0x02, 0x01, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA7}));
    // The reply is handed out once; a read without a new request gets zeros.
    EXPECT_EQ(bus.read(), Bytes(11, 0));
}

TEST(DDCMonitor, SetVcpStoresClampedValuesAndIgnoresCorruptRequests) {
    Bus bus(monitor);
    EXPECT_EQ(bus.write(Bus::setRequest(0x10, 75)), 0);
    EXPECT_EQ(bus.desk.vcpValue(0, 0x10), 75);
    EXPECT_EQ(bus.write(Bus::setRequest(0x10, 500)), 0);
    EXPECT_EQ(bus.desk.vcpValue(0, 0x10), 100);
    EXPECT_EQ(bus.write(Bus::setRequest(0xD6, 4)), 0); // max 0: taken as given
    EXPECT_EQ(bus.desk.vcpValue(0, 0xD6), 4);

    Bytes corrupt = Bus::setRequest(0x10, 20);
    corrupt.back() ^= 0x01;
    EXPECT_EQ(bus.write(corrupt), 0); // acknowledged by the bus, ignored by the monitor
    Bytes badLength = Bus::setRequest(0x10, 20);
    badLength[0] = 0x85;
    bus.write(badLength);
    EXPECT_EQ(bus.desk.vcpValue(0, 0x10), 100);
    Bytes badGet = Bus::getRequest(0x10);
    badGet.back() ^= 0xFF;
    bus.write(badGet);
    bus.loop.advance(50ms);
    EXPECT_EQ(bus.read(), Bytes(11, 0));
}

TEST(DDCMonitor, ScriptedFailuresComeFirstThenTheMonitorAnswers) {
    Bus bus(R"({"vcp": {"0x10": [50, 100]}, "failReads": 2, "zeroReplies": 1})");
    int rc = 0;
    bus.write(Bus::getRequest(0x10));
    bus.read(&rc);
    EXPECT_NE(rc, 0);
    bus.read(&rc);
    EXPECT_NE(rc, 0);
    EXPECT_EQ(bus.read(&rc), Bytes(11, 0));
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(bus.read(&rc)[4], 0x10); // the request made before the failures is still answered
    EXPECT_EQ(rc, 0);
}

TEST(DDCMonitor, WriteFailuresAndSilentMonitors) {
    Bus failing(R"({"vcp": {"0x10": [50, 100]}, "writeFails": true})");
    EXPECT_NE(failing.write(Bus::setRequest(0x10, 10)), 0);
    EXPECT_EQ(failing.desk.vcpValue(0, 0x10), 50);
    EXPECT_EQ(failing.get(0x10)[9], 50); // reads still work

    Bus silent("");
    ASSERT_TRUE(silent.handle); // the channel exists, nobody answers on it
    EXPECT_EQ(silent.write(Bus::getRequest(0x10)), 0);
    int rc = 1;
    EXPECT_EQ(silent.read(&rc), Bytes(11, 0));
    EXPECT_EQ(rc, 0);
    silent.desk.disconnect(0);
    EXPECT_NE(silent.write(Bus::getRequest(0x10)), 0);
}

TEST(DDCMonitor, StrictTimingAndWritePacing) {
    Bus strict(R"({"vcp": {"0x10": [50, 100]}, "strictTiming": true})");
    strict.write(Bus::getRequest(0x10));
    strict.loop.advance(39ms);
    EXPECT_EQ(strict.read(), Bytes(11, 0));
    strict.loop.advance(1ms);
    EXPECT_EQ(strict.read()[9], 50);

    Bus paced(R"({"vcp": {"0x10": [50, 100]}, "minWriteIntervalMs": 40})");
    EXPECT_EQ(paced.write(Bus::setRequest(0x10, 10)), 0);
    paced.loop.advance(39ms);
    EXPECT_EQ(paced.write(Bus::setRequest(0x10, 20)), 0); // dropped, still acknowledged
    EXPECT_EQ(paced.desk.vcpValue(0, 0x10), 10);
    paced.loop.advance(1ms);
    paced.write(Bus::setRequest(0x10, 30));
    EXPECT_EQ(paced.desk.vcpValue(0, 0x10), 30);
    EXPECT_EQ(paced.desk.monitor(0).setRequestsDropped(), 1);
}

TEST(DDCMonitor, InputsTheMonitorLacksAreAcknowledgedAndChangeNothing) {
    // Input and power values are codes: neither is held to its maximum.
    Bus bus(R"({"vcp": {"0x60": [271, 3], "0xD6": [1, 5]}, "inputs": [15, 17, 18]})");
    std::ostringstream trace;
    bus.desk.setTraceStream(&trace);
    EXPECT_EQ(bus.desk.inputSource(0), 0x0F); // 0x010F: the low byte is the input
    struct Step {
        std::uint16_t value;
        std::uint8_t shown;
    };
    for (Step step : {Step{0x12, 0x12}, Step{0x1B, 0x12}, Step{0x0F, 0x0F}}) {
        EXPECT_EQ(bus.write(Bus::setRequest(0x60, step.value)), 0);
        EXPECT_EQ(bus.desk.inputSource(0), step.shown) << step.value;
    }
    EXPECT_TRUE(bus.desk.poweredOn(0));
    bus.write(Bus::setRequest(0xD6, 5));
    EXPECT_EQ(bus.desk.powerMode(0), 5);
    EXPECT_FALSE(bus.desk.poweredOn(0));
    const std::string lines = trace.str();
    EXPECT_THAT(lines, HasSubstr("input v16-p48-s5 0x12\n"));
    EXPECT_THAT(lines, HasSubstr("power v16-p48-s5 5\n"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 7); // 4 writes, 3 of them changes

    Bus open(R"({"vcp": {"0x60": [17, 0]}})"); // without a list every input is taken
    open.write(Bus::setRequest(0x60, 0x1B));
    EXPECT_EQ(open.desk.inputSource(0), 0x1B);
    EXPECT_FALSE(open.desk.powerMode(0));
    EXPECT_TRUE(open.desk.poweredOn(0));
}

} // namespace
} // namespace brivio
