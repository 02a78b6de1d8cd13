#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "drivers/DDCTransport.h"
#include "drivers/FakeMonitor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using testing::FakeMonitor;
using Bytes = std::vector<std::uint8_t>;

struct TransportTest : ::testing::Test {
    VirtualLoop loop;
    std::shared_ptr<FakeMonitor> monitor = std::make_shared<FakeMonitor>(loop);
    AVServiceHandle handle = monitor;
    AVServiceSymbols symbols{nullptr,
                             [](const AVServiceHandle& h, std::uint32_t c, std::uint32_t a,
                                const std::uint8_t* b,
                                std::uint32_t n) { return static_cast<FakeMonitor&>(*h).write(c, a, b, n); },
                             [](const AVServiceHandle& h, std::uint32_t c, std::uint32_t o, std::uint8_t* b,
                                std::uint32_t n) { return static_cast<FakeMonitor&>(*h).read(c, o, b, n); }};
    std::optional<VCPReading> result;
    bool done = false;

    TaskHandle startRead(std::uint8_t code) {
        auto body = [](TransportTest* t, std::uint8_t c) -> Task<void> {
            t->result = co_await getVCP(t->symbols, t->handle, c);
            t->done = true;
        };
        return spawn(loop, body(this, code));
    }
    long long elapsedMs() const { return toMillis(loop.now() - TimePoint{}); }
};

TEST_F(TransportTest, ReadWritesRequestTwiceThenReadsAfterTheWaits) {
    monitor->features[0x10] = {50, 100};
    startRead(0x10);
    loop.runUntilSettled(10s);
    ASSERT_TRUE(done);
    EXPECT_EQ(result, (VCPReading{50, 100}));
    ASSERT_EQ(monitor->transfers.size(), 3u);
    const long long expectedAt[] = {10, 20, 70};
    for (int i = 0; i < 3; ++i) {
        auto& t = monitor->transfers[i];
        EXPECT_EQ(toMillis(t.at - TimePoint{}), expectedAt[i]) << i;
        EXPECT_EQ(t.chip, 0x37u);
        EXPECT_EQ(t.read, i == 2);
        EXPECT_EQ(t.address, i == 2 ? 0u : 0x51u);
        EXPECT_EQ(t.bytes, (i == 2 ? Bytes{} : Bytes{0x82, 0x01, 0x10, 0xAC}));
    }
}

TEST_F(TransportTest, WriteSendsValueHighByteFirstWithChecksum) {
    struct Case {
        std::uint8_t code;
        std::uint16_t value;
        int kr;
        Bytes bytes;
        const char* log;
    } cases[] = {
        {0x10, 50, 0, {0x84, 0x03, 0x10, 0x00, 0x32, 0x9A}, "DDC: SetVCP 0x10=50 kr=0x00000000"},
        {0x62, 0x1234, 0, {0x84, 0x03, 0x62, 0x12, 0x34, 0xFC}, "DDC: SetVCP 0x62=4660 kr=0x00000000"},
        {0x12, 7, -536870212, {0x84, 0x03, 0x12, 0x00, 0x07, 0xAD}, "DDC: SetVCP 0x12=7 kr=0xE00002BC"},
    };
    for (auto& c : cases) {
        CaptureLog log;
        monitor->transfers.clear();
        monitor->setResult = c.kr;
        EXPECT_EQ(setVCP(symbols, handle, c.code, c.value), c.kr == 0);
        ASSERT_EQ(monitor->transfers.size(), 1u);
        EXPECT_EQ(monitor->transfers[0].bytes, c.bytes);
        EXPECT_EQ(monitor->transfers[0].address, 0x51u);
        EXPECT_EQ(log.messages(LogCategory::driver), std::vector<std::string>{c.log});
    }
}

TEST(VCPReply, DecodesOnlyANoErrorReplyForTheRequestedCode) {
    struct Case {
        Bytes reply;
        std::optional<VCPReading> expected;
    } cases[] = {
        {{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x5A}, VCPReading{50, 100}},
        {{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0xFF}, VCPReading{50, 100}},
        {{0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00, 0x00, 0x00}, VCPReading{50, 100}},
        {{0x6E, 0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x01, 0x2C, 0x00, 0x96}, VCPReading{150, 300}},
        {{0x6E, 0x88, 0x02, 0x01, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00}, std::nullopt},
        {{0x6E, 0x88, 0x02, 0x00, 0x12, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00}, std::nullopt},
        {{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00}, std::nullopt},
        {{0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00}, std::nullopt},
        {Bytes(11, 0), std::nullopt},
    };
    for (auto& c : cases)
        EXPECT_EQ(decodeVCPReply(c.reply.data(), c.reply.size(), 0x10), c.expected)
            << ::testing::PrintToString(c.reply);
}

TEST_F(TransportTest, UnansweredReadsAreRetriedFiveTimes) {
    CaptureLog log;
    // Silence, an unsupported-feature reply, then silence: every attempt fails.
    monitor->script = {Bytes(11, 0), {0x6E, 0x88, 0x02, 0x01, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00}};
    startRead(0x10);
    loop.runUntilSettled(10s);
    ASSERT_TRUE(done);
    EXPECT_FALSE(result);
    EXPECT_EQ(monitor->reads().size(), 5u);
    EXPECT_EQ(monitor->writes().size(), 10u);
    EXPECT_EQ(elapsedMs(), 5 * 70 + 4 * 20);
    EXPECT_TRUE(log.contains("DDC: 0x10 reply[1] 6E 88 02 01 10 00 00 64 00 32 00"));
    EXPECT_TRUE(log.contains("DDC: 0x10 reply[4] 00 00 00 00 00 00 00 00 00 00 00"));
}

TEST_F(TransportTest, AnswerOnALaterAttemptIsReturned) {
    monitor->features[0x62] = {30, 100};
    monitor->script = {Bytes(11, 0), Bytes(11, 0)};
    startRead(0x62);
    loop.runUntilSettled(10s);
    EXPECT_EQ(result, (VCPReading{30, 100}));
    EXPECT_EQ(monitor->reads().size(), 3u);
    // Third read: two attempts of 70 ms, two pauses of 20 ms, then 70 ms more.
    EXPECT_EQ(toMillis(monitor->reads().back().at - TimePoint{}), 3 * 70 + 2 * 20);
}

TEST_F(TransportTest, FailedReadCallEndsAtOnce) {
    monitor->readResult = -1;
    startRead(0x10);
    loop.runUntilSettled(10s);
    ASSERT_TRUE(done);
    EXPECT_FALSE(result);
    EXPECT_EQ(monitor->reads().size(), 1u);
    EXPECT_EQ(monitor->writes().size(), 2u);
}

TEST_F(TransportTest, MissingSymbolsLeaveTheBusAlone) {
    monitor->features[0x10] = {50, 100};
    auto full = symbols;
    symbols.writeI2C = nullptr;
    EXPECT_FALSE(setVCP(symbols, handle, 0x10, 50));
    startRead(0x10);
    loop.runUntilSettled(1s);
    EXPECT_TRUE(done);
    EXPECT_FALSE(result);
    symbols = full;
    symbols.readI2C = nullptr;
    done = false;
    startRead(0x10);
    loop.runUntilSettled(1s);
    EXPECT_TRUE(done);
    EXPECT_FALSE(result);
    EXPECT_TRUE(monitor->transfers.empty());
}

TEST_F(TransportTest, CancellationDoesNotCutTheBusSequenceShort) {
    monitor->features[0x10] = {50, 100};
    TaskHandle task = startRead(0x10);
    loop.advance(15ms);
    task.cancel();
    loop.runUntilSettled(10s);
    // The read completes on the bus with its full timing; the cancelled task never sees the value.
    ASSERT_EQ(monitor->transfers.size(), 3u);
    EXPECT_EQ(toMillis(monitor->transfers[2].at - TimePoint{}), 70);
    EXPECT_FALSE(done);
    EXPECT_FALSE(task.running());
}

} // namespace
} // namespace brivio
