#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "drivers/DDCTransport.h"
#include "drivers/Fakes.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;

struct TransportTest : ::testing::Test {
    VirtualLoop loop;
    std::map<RegistryID, std::shared_ptr<FakeMonitor>> monitors{{1, std::make_shared<FakeMonitor>(loop)}};
    FakeMonitor& monitor = *monitors[1];
    AVServiceHandle handle = monitors[1];
    AVServiceSymbols symbols = fakeSymbols(monitors);
    std::optional<VCPReading> result;
    bool done = false;

    TaskHandle startRead(std::uint8_t code) {
        auto body = [](TransportTest* t, std::uint8_t c) -> Task<void> {
            t->result = co_await getVCP(t->symbols, t->handle, c);
            t->done = true;
        };
        return spawn(loop, body(this, code));
    }
    void read(std::uint8_t code) {
        done = false;
        startRead(code);
        loop.runUntilSettled(10s);
        EXPECT_TRUE(done);
    }
    PatientRead readPatiently(std::uint8_t code, int waitScale) {
        PatientRead out;
        auto body = [](TransportTest* t, PatientRead& o, std::uint8_t c, int scale) -> Task<void> {
            o = co_await readVCPPatiently(t->symbols, t->handle, c, scale);
        };
        spawn(loop, body(this, out, code, waitScale));
        loop.runUntilSettled(10s);
        return out;
    }
};

TEST_F(TransportTest, ReadWritesTheRequestTwiceThenReadsAfterTheWaits) {
    monitor.features[0x10] = {50, 100};
    read(0x10);
    EXPECT_EQ(result, (VCPReading{50, 100}));
    ASSERT_EQ(monitor.transfers.size(), 3u);
    const long long at[] = {10, 20, 70};
    for (int i = 0; i < 3; ++i) {
        auto& t = monitor.transfers[i];
        EXPECT_EQ(t.atMs, at[i]);
        EXPECT_EQ(t.chip, 0x37u);
        EXPECT_EQ(t.address, i == 2 ? 0u : 0x51u);
        EXPECT_EQ(t.bytes, (i == 2 ? Bytes{} : Bytes{0x82, 0x01, 0x10, 0xAC}));
    }
}

TEST_F(TransportTest, WriteSendsTheValueHighByteFirstWithChecksum) {
    struct Case {
        std::uint8_t code;
        std::uint16_t value;
        int kr;
        Bytes bytes;
        const char* log;
    } cases[] = {
        {0x62, 0x1234, 0, {0x84, 0x03, 0x62, 0x12, 0x34, 0xFC}, "DDC: SetVCP 0x62=4660 kr=0x00000000"},
        {0x12, 7, -536870212, {0x84, 0x03, 0x12, 0x00, 0x07, 0xAD}, "DDC: SetVCP 0x12=7 kr=0xE00002BC"},
    };
    for (auto& c : cases) {
        CaptureLog log;
        monitor.transfers.clear();
        monitor.setResult = c.kr;
        EXPECT_EQ(setVCP(symbols, handle, c.code, c.value), c.kr == 0);
        ASSERT_EQ(monitor.transfers.size(), 1u);
        EXPECT_EQ(monitor.transfers[0].bytes, c.bytes);
        EXPECT_EQ(monitor.transfers[0].address, 0x51u);
        EXPECT_EQ(log.messages(LogCategory::driver), std::vector<std::string>{c.log});
    }
}

TEST(VCPReply, DecodesOnlyANoErrorReplyForTheRequestedCode) {
    const std::optional<VCPReading> none, fifty = VCPReading{50, 100};
    const std::pair<Bytes, std::optional<VCPReading>> cases[] = {
        {{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0xFF}, fifty},
        {{0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00, 0x00, 0x00}, fifty},
        {{0x6E, 0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x01, 0x2C, 0x00, 0x96}, VCPReading{150, 300}},
        {{0x6E, 0x88, 0x02, 0x01, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00}, none}, // unsupported
        {{0x6E, 0x88, 0x02, 0x00, 0x12, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00}, none}, // other feature
        {{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00}, none}, // max 0
        {{0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00}, none},                         // too short
    };
    for (auto& [reply, expected] : cases)
        EXPECT_EQ(decodeVCPReply(reply.data(), reply.size(), 0x10), expected)
            << ::testing::PrintToString(reply);
}

TEST_F(TransportTest, RetriesUnansweredReadsButNotFailedReadCalls) {
    const Bytes unsupported{0x6E, 0x88, 0x02, 0x01, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00};
    struct Case {
        std::deque<Bytes> script;
        int readResult;
        bool answers;
        std::size_t reads;
        long long lastReadAt;
    } cases[] = {
        {{Bytes(11, 0), unsupported, Bytes(11, 0), Bytes(11, 0), Bytes(11, 0)}, 0, false, 5, 5 * 70 + 4 * 20},
        {{Bytes(11, 0), unsupported}, 0, true, 3, 3 * 70 + 2 * 20},
        {{}, -1, false, 1, 70},
    };
    for (auto& c : cases) {
        CaptureLog log;
        monitor.transfers.clear();
        monitor.features[0x10] = {50, 100};
        monitor.script = c.script;
        monitor.readResult = c.readResult;
        const auto start = loop.now();
        read(0x10);
        EXPECT_EQ(result.has_value(), c.answers);
        EXPECT_EQ(monitor.count(true), c.reads);
        EXPECT_EQ(monitor.count(false), 2 * c.reads);
        EXPECT_EQ(monitor.transfers.back().atMs - toMillis(start - TimePoint{}), c.lastReadAt);
        EXPECT_EQ(log.contains("DDC: 0x10 reply[1] 6E 88 02 01 10 00 00 64 00 32 00"), c.reads > 1);
    }
}

TEST(VCPReply, InputSelectAndPowerModeAnswerWhateverTheirMaximum) {
    for (std::uint8_t code : {ddc::inputSelect, ddc::powerMode, ddc::brightness}) {
        const Bytes reply{0x6E, 0x88, 0x02, 0x00, code, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x00};
        auto reading = decodeVCPReply(reply.data(), reply.size(), code);
        EXPECT_EQ(reading, code == ddc::brightness ? std::nullopt : std::optional(VCPReading{15, 0}))
            << int(code);
    }
}

TEST_F(TransportTest, BusyAndSlowMonitorsGetMoreChances) {
    const std::optional<VCPReading> fifty = VCPReading{50, 100};
    monitor.features[0x10] = {50, 100};
    // Refused twice, then answered: a refusal is an unanswered attempt, not the end.
    monitor.refuseReads = 2;
    read(0x10);
    EXPECT_EQ(result, fifty);
    EXPECT_EQ(monitor.count(true), 3u);

    // A monitor that refuses every read gets its five attempts and no longer waits: they would not help.
    monitor.transfers.clear();
    monitor.refuseReads = 100;
    EXPECT_FALSE(readPatiently(0x10, 1).reading);
    EXPECT_EQ(monitor.count(true), 5u);

    // Needing 100 ms: null replies at the first waits (50 ms), the reply at twice as long; a read that
    // starts at the learned waits is answered at once.
    monitor.refuseReads = 0;
    monitor.replyDelay = 100ms;
    monitor.transfers.clear();
    PatientRead slow = readPatiently(0x10, 1);
    EXPECT_EQ(slow.reading, fifty);
    EXPECT_EQ(slow.waitScale, 2);
    EXPECT_EQ(monitor.count(true), 6u);
    monitor.transfers.clear();
    const long long start = toMillis(loop.now() - TimePoint{});
    slow = readPatiently(0x10, 2);
    EXPECT_EQ(slow.reading, fifty);
    ASSERT_EQ(monitor.count(true), 1u);
    EXPECT_EQ(monitor.transfers.back().atMs - start, 140);

    // Never ready: five attempts, then two at each longer wait.
    monitor.replyDelay = 10s;
    monitor.transfers.clear();
    EXPECT_FALSE(readPatiently(0x10, 1).reading);
    EXPECT_EQ(monitor.count(true), 9u);
}

TEST_F(TransportTest, MissingSymbolsLeaveTheBusAlone) {
    monitor.features[0x10] = {50, 100};
    for (bool dropWrite : {true, false}) {
        symbols = fakeSymbols(monitors);
        if (dropWrite)
            symbols.writeI2C = nullptr;
        else
            symbols.readI2C = nullptr;
        EXPECT_EQ(setVCP(symbols, handle, 0x10, 50), !dropWrite);
        monitor.transfers.clear();
        read(0x10);
        EXPECT_FALSE(result);
        EXPECT_TRUE(monitor.transfers.empty());
    }
}

TEST_F(TransportTest, CancellationDoesNotCutTheBusSequenceShort) {
    monitor.features[0x10] = {50, 100};
    TaskHandle task = startRead(0x10);
    loop.advance(15ms);
    task.cancel();
    loop.runUntilSettled(10s);
    // The read completes on the bus with its full timing; the cancelled task never sees the value.
    ASSERT_EQ(monitor.transfers.size(), 3u);
    EXPECT_EQ(monitor.transfers[2].atMs, 70);
    EXPECT_FALSE(done);
}

} // namespace
} // namespace brivio
