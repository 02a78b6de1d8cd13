#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "drivers/DDCDisplayDriver.h"
#include "drivers/Fakes.h"
#include "model/DisplayDriverError.h"

#include <cmath>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using Features = decltype(FakeMonitor::features);
using Control = DisplayControl;

// Capabilities by letters: Brightness Contrast Volume Input Power-off Overlay, n = reason noDDC.
DisplayCapabilities caps(std::string_view f) {
    auto has = [&](char c) { return f.find(c) != f.npos; };
    DisplayCapabilities c{has('B'), has('C'), has('V'),     false, has('I'),
                          has('P'), has('O'), std::nullopt, false, std::nullopt};
    if (has('n'))
        c.hardwareBrightnessFallbackReason = FallbackReason::noDDC;
    return c;
}

struct DriverTest : ::testing::Test {
    VirtualLoop loop;
    CaptureLog log;
    FakeWindowServer ws;
    FakeRegistry registry;
    std::map<RegistryID, std::shared_ptr<FakeMonitor>> monitors;
    bool avSymbols = true;
    std::optional<float> systemLevel; // the system brightness service, when present; < 0 fails
    std::vector<float> systemWrites;
    std::unique_ptr<DDCDisplayDriver> driver;

    FakeMonitor& addService(const std::string& cls, RegistryID id, Features features) {
        registry.add(cls, id, 0x10, 0x2A);
        monitors[id] = std::make_shared<FakeMonitor>(loop);
        monitors[id]->features = std::move(features);
        return *monitors[id];
    }
    ManagedDisplay display(DisplayNumber cg, std::uint32_t unit = 1, std::uint32_t vendor = 0x10) {
        ws.displays.push_back({cg, vendor, 0x2A, 0, unit, false});
        return {{cg, vendor, 0x2A, 0, fmt::format("Display-{:04X}/002A", vendor), unit}, false, {}};
    }
    void make() {
        DisplayServicesSymbols ds;
        if (systemLevel) {
            ds.getBrightness = [this](std::uint32_t, float& b) { return b = *systemLevel, b < 0 ? -1 : 0; };
            ds.setBrightness = [this](std::uint32_t, float b) { return systemWrites.push_back(b), 0; };
        }
        driver = std::make_unique<DDCDisplayDriver>(
            ws, registry, avSymbols ? fakeSymbols(monitors) : AVServiceSymbols{}, ds);
    }
    template <typename T> T run(Task<T> task) {
        std::optional<T> out;
        std::exception_ptr error;
        auto body = [](Task<T> t, std::optional<T>& o, std::exception_ptr& e) -> Task<void> {
            try {
                o = co_await std::move(t);
            } catch (...) {
                e = std::current_exception();
            }
        };
        spawn(loop, body(std::move(task), out, error));
        loop.runUntilSettled(60s);
        if (error)
            std::rethrow_exception(error);
        return *out;
    }
    DisplayCapabilities probe(const ManagedDisplay& d) { return run(driver->probeCapabilities(d)); }
    // The error a write or read fails with, or none.
    template <typename T> std::optional<DisplayDriverError> failure(Task<T> task) {
        auto wrap = [](Task<T> t) -> Task<int> {
            co_await std::move(t);
            co_return 0;
        };
        try {
            run(wrap(std::move(task)));
            return std::nullopt;
        } catch (const DisplayDriverError& e) {
            return e;
        }
    }
    std::optional<DisplayDriverError> write(double v, Control c, const ManagedDisplay& d) {
        return failure(driver->writeValue(v, c, d));
    }
};

TEST_F(DriverTest, ProbeOutcomes) {
    // Setup letters: A the only service is a display-class one, F Set VCP fails, S the system brightness
    // service answers 0.75, s it fails, X the AV-service entry points are missing.
    struct Case {
        const char* setup;
        Features features;
        const char* expected;
        std::vector<std::string> lines;
    };
    // clang-format off
    const Case cases[] = {
        {"", {}, "On", {"DDC: Display-0010/002A — all paths exhausted, soft-dim only"}},
        {"", {{0x10, {80, 100}}}, "BPO", {"DDC: ✓ DCPAVServiceProxy[100] confirmed for Display-0010/002A — 80% max=100"}},
        {"", {{0x10, {30, 100}}, {0x12, {50, 100}}, {0x62, {75, 150}}, {0x60, {0x10F, 0x1FF}}}, "BCVIPO",
         {"DDC: input (0x60) supported for Display-0010/002A current=271 → stored=15"}},
        {"", {{0x10, {120, 100}}}, "BPO", {"DDC: ✓ DCPAVServiceProxy[100] confirmed for Display-0010/002A — 100% max=100"}},
        {"A", {{0x10, {80, 100}}}, "BO", {}},
        {"S", {{0x10, {50, 0}}}, "BPO", {"DDC: ✓ DisplayServices confirmed for Display-0010/002A — 75%"}},
        {"Fs", {{0x10, {80, 100}}}, "On", {"DDC:   SetVCP 0x10 failed via DCPAVServiceProxy",
                                           "DDC: DisplayServices not usable for Display-0010/002A (raw=-1.0)"}},
        {"X", {{0x10, {80, 100}}}, "On", {"DDC: IOAVService symbols missing from IOKit"}},
    };
    // clang-format on
    for (auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const std::string setup = c.setup;
        auto has = [&](char l) { return setup.find(l) != std::string::npos; };
        registry.services.clear();
        ws.displays.clear();
        log.clear();
        auto& monitor = addService(has('A') ? "AppleDisplay" : "DCPAVServiceProxy", 0x100, c.features);
        monitor.setResult = has('F') ? -1 : 0;
        avSymbols = !has('X');
        systemLevel = has('S') ? std::optional(0.75f) : has('s') ? std::optional(-1.0f) : std::nullopt;
        make();
        auto d = display(2);
        const auto key = d.identity.stableKey();
        EXPECT_EQ(probe(d), caps(c.expected));
        for (auto& line : c.lines)
            EXPECT_TRUE(log.contains(line)) << line;
        if (driver->channel(key)) {
            // The current value is written back, capped at the maximum.
            auto [current, max] = c.features.at(0x10);
            auto back = std::min(current, max);
            const Bytes expected{0x10, Bytes::value_type(back >> 8), Bytes::value_type(back)};
            EXPECT_EQ(monitor.setRequests(), std::vector<Bytes>{expected});
        }
        EXPECT_EQ(driver->ddcContrastCurrentCache().count(key), c.features.count(0x12));
        EXPECT_EQ(driver->cachedInputSource(key),
                  c.features.count(0x60) ? std::optional<std::uint8_t>(15) : std::nullopt);
        // Answered from the cache afterwards: no further traffic.
        auto traffic = monitor.transfers.size();
        EXPECT_EQ(probe(d), caps(c.expected));
        EXPECT_EQ(monitor.transfers.size(), traffic);
    }
}

TEST_F(DriverTest, DisplaysWithoutACandidateStaySoftware) {
    make();
    EXPECT_EQ(probe({{1, 0x610, 0xA0, 0, "Built-in Display", 0}, true, {}}), caps("On"));
    EXPECT_EQ(registry.matchCalls, 0);
    EXPECT_FALSE(driver->topologyCache());
    EXPECT_EQ(probe(display(2)), caps("On"));
    EXPECT_TRUE(log.contains(
        "DDC: Display-0010/002A not matched to any IOKit service (v=0010 p=002A unit=1) — overlay"));
    EXPECT_EQ(probe({{3, 0x99, 0x1, 0, "Ghost", 0}, false, {}}), caps("On"));
    EXPECT_TRUE(log.contains("DDC: Ghost not in topology — overlay"));
    EXPECT_EQ(log.count("Building display topology"), 1u);
}

TEST_F(DriverTest, IdenticalMonitorsNeverShareAService) {
    for (bool twoServices : {false, true}) {
        SCOPED_TRACE(twoServices);
        registry.services.clear();
        ws.displays.clear();
        addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 100}}});
        if (twoServices)
            addService("DCPAVServiceProxy", 0x101, {{0x10, {40, 100}}});
        make();
        auto first = display(2, 1), second = display(3, 2);
        const auto firstKey = first.identity.stableKey(), secondKey = second.identity.stableKey();
        EXPECT_EQ(probe(first), caps("BPO"));
        log.clear();
        EXPECT_EQ(probe(second), twoServices ? caps("BPO") : caps("On"));
        EXPECT_TRUE(log.contains("DDC:   Skipping DCPAVServiceProxy[100] — claimed by another display"));
        // Each display speaks to its own monitor.
        EXPECT_EQ(driver->channel(secondKey), twoServices ? monitors[0x101] : nullptr);

        // The claims are forgotten, but the first display keeps driving its channel: a fresh probe of the
        // second must still not take it.
        driver->invalidateTopology();
        EXPECT_TRUE(driver->claimedServiceIDs().empty());
        EXPECT_EQ(probe(second), twoServices ? caps("BPO") : caps("On"));
        EXPECT_NE(driver->channel(secondKey), driver->channel(firstKey));
        // Once the first monitor leaves, its service is free again.
        driver->evict(firstKey);
        driver->invalidateTopology();
        EXPECT_FALSE(driver->channel(firstKey));
        EXPECT_EQ(probe(second), caps("BPO"));
    }
}

TEST_F(DriverTest, ServicesThatNameTheirDisplayServeItAloneAndOneProbeAtATime) {
    // Twins: the first does not answer DDC/CI; each service names its own display.
    auto& silent = addService("DCPAVServiceProxy", 0x100, {});
    auto& answering = addService("DCPAVServiceProxy", 0x101, {{0x10, {40, 100}}});
    registry.services[0].second->emplace(displayNumberProperty, PropertyValue{std::int64_t{2}});
    registry.services[1].second->emplace(displayNumberProperty, PropertyValue{std::int64_t{3}});
    make();
    auto first = display(2, 1), second = display(3, 2);
    EXPECT_EQ(probe(first), caps("On"));
    EXPECT_TRUE(answering.transfers.empty()); // never the other twin's monitor
    EXPECT_EQ(driver->channelProblem(first.identity.stableKey()), DDCChannelProblem::noAnswer);
    EXPECT_FALSE(silent.transfers.empty());
    EXPECT_EQ(probe(second), caps("BPO"));
    EXPECT_EQ(driver->channel(second.identity.stableKey()), monitors[0x101]);

    // A second probe while the first still waits on the bus takes the first one's answer.
    driver->evict(second.identity.stableKey());
    answering.transfers.clear();
    std::vector<DisplayCapabilities> results;
    auto probeInto = [](DDCDisplayDriver& d, ManagedDisplay m,
                        std::vector<DisplayCapabilities>& out) -> Task<void> {
        out.push_back(co_await d.probeCapabilities(m));
    };
    spawn(loop, probeInto(*driver, second, results));
    loop.advance(30ms);
    spawn(loop, probeInto(*driver, second, results));
    loop.runUntilSettled(60s);
    EXPECT_EQ(results, (std::vector{caps("BPO"), caps("BPO")}));
    // Request, request, read: never a request of the other probe in between.
    int requests = 0;
    for (const auto& t : answering.transfers) {
        if (t.read) {
            EXPECT_EQ(requests, 2);
            requests = 0;
        } else if (t.bytes.size() == 4) {
            ++requests;
        }
    }
    EXPECT_EQ(answering.setRequests().size(), 1u);
}

TEST_F(DriverTest, InvalidatingKeepsConfirmedCapabilitiesOnly) {
    auto& monitor = addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 100}}});
    make();
    auto confirmed = display(2, 1), software = display(3, 2, 0x20);
    probe(confirmed);
    probe(software);
    driver->invalidateTopology();
    auto& cache = driver->capabilityCache();
    EXPECT_EQ(cache.count(confirmed.identity.stableKey()), 1u);
    EXPECT_EQ(cache.count(software.identity.stableKey()), 0u);
    auto traffic = monitor.transfers.size();
    EXPECT_EQ(probe(confirmed), caps("BPO"));
    EXPECT_EQ(monitor.transfers.size(), traffic);
    probe(software);
    EXPECT_EQ(log.count("Building display topology"), 2u);
    driver->forgetChannelCapabilities();
    EXPECT_EQ(cache.count(confirmed.identity.stableKey()), 0u);
    EXPECT_EQ(cache.count(software.identity.stableKey()), 1u);
}

TEST_F(DriverTest, WritesScaleClampAndFallBack) {
    auto& monitor = addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 255}}});
    make();
    auto d = display(2);
    probe(d);
    const std::tuple<double, Control, Bytes> cases[] = {
        {0.5, Control::brightness, {0x10, 0, 128}}, // 127.5 rounds up
        {1.4, Control::brightness, {0x10, 0, 255}},
        {-0.2, Control::brightness, {0x10, 0, 0}},
        {std::nan(""), Control::brightness, {0x10, 0, 0}},
        {0.5, Control::contrast, {0x12, 0, 50}}, // no maximum read: 100
        {0.305, Control::volume, {0x62, 0, 31}},
    };
    for (auto& [value, control, sent] : cases) {
        monitor.transfers.clear();
        EXPECT_EQ(write(value, control, d), std::nullopt);
        EXPECT_EQ(monitor.setRequests(), std::vector<Bytes>{sent}) << value;
    }
    EXPECT_EQ(write(0.5, Control::mute, d), DisplayDriverError::unsupportedControl(Control::mute));

    monitor.transfers.clear();
    driver->probingKeys().insert(d.identity.stableKey());
    EXPECT_EQ(write(0.7, Control::brightness, d), std::nullopt);
    EXPECT_TRUE(monitor.transfers.empty());
    driver->probingKeys().clear();

    monitor.setResult = -1;
    EXPECT_EQ(write(0.7, Control::brightness, d),
              DisplayDriverError::unsupportedControl(Control::brightness));
    EXPECT_TRUE(log.contains("DDC: I²C write failed for Display-0010/002A"));
    EXPECT_EQ(write(0.7, Control::contrast, d), DisplayDriverError::unsupportedControl(Control::contrast));
}

TEST_F(DriverTest, ReadsBrightnessOnlyThroughTheConfirmedPath) {
    auto& monitor = addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 100}}});
    systemLevel = 0.4f;
    make();
    auto ddc = display(2), system = display(3, 2, 0x20), unknown = display(4, 3, 0x30);
    probe(ddc);
    monitor.features[0x10] = {60, 200};
    monitor.transfers.clear();
    // The probe's reading answers the first read without a word on the bus; later reads ask.
    EXPECT_EQ(run(driver->readValue(Control::brightness, ddc)), 0.8);
    EXPECT_TRUE(monitor.transfers.empty());
    EXPECT_EQ(run(driver->readValue(Control::brightness, ddc)), 0.3);
    EXPECT_EQ(driver->ddcMaxCache().at(ddc.identity.stableKey()), 200);
    EXPECT_EQ(failure(driver->readValue(Control::contrast, ddc)),
              DisplayDriverError::unsupportedControl(Control::contrast));
    EXPECT_EQ(failure(driver->readValue(Control::brightness, unknown)), DisplayDriverError::notImplemented());

    // The second display's only candidate is taken; the system brightness service serves it.
    EXPECT_EQ(probe(system), caps("BPO"));
    EXPECT_FLOAT_EQ(run(driver->readValue(Control::brightness, system)), 0.4);
    EXPECT_EQ(write(0.6, Control::brightness, system), std::nullopt);
    EXPECT_EQ(systemWrites, (std::vector<float>{0.4f, 0.6f}));
    EXPECT_EQ(write(0.6, Control::volume, system), DisplayDriverError::unsupportedControl(Control::volume));
}

TEST_F(DriverTest, InputIsReadOnceThenAnsweredFromTheCache) {
    auto& monitor = addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 100}}});
    make();
    auto d = display(2);
    probe(d); // no answer to 0x60 yet: nothing cached
    monitor.features[0x60] = {0x0112, 0x1FF};
    monitor.transfers.clear();
    EXPECT_EQ(run(driver->inputSource(d)), std::optional<std::uint8_t>(0x12)); // the low byte
    EXPECT_EQ(monitor.count(true), 1u);
    auto traffic = monitor.transfers.size();
    EXPECT_EQ(run(driver->inputSource(d)), std::optional<std::uint8_t>(0x12));
    EXPECT_EQ(monitor.transfers.size(), traffic);

    // Without a channel there is nothing to ask.
    auto other = display(3, 2, 0x20);
    EXPECT_EQ(run(driver->inputSource(other)), std::nullopt);
    EXPECT_FALSE(driver->setInputSource(0x11, other));
}

TEST_F(DriverTest, InputSwitchAndPowerOffSendTheExactBytes) {
    auto& monitor = addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 100}}, {0x60, {0x0F, 0xFF}}});
    make();
    auto d = display(2);
    probe(d);
    const auto key = d.identity.stableKey();

    struct SwitchCase {
        int result;
        bool taken;
        std::uint8_t cached;
    };
    for (SwitchCase c : {SwitchCase{-1, false, 0x0F}, SwitchCase{0, true, 0x12}}) {
        monitor.transfers.clear();
        monitor.setResult = c.result;
        EXPECT_EQ(driver->setInputSource(0x12, d), c.taken);
        ASSERT_EQ(monitor.transfers.size(), 1u);
        EXPECT_EQ(monitor.transfers[0].bytes, (Bytes{0x84, 0x03, 0x60, 0x00, 0x12, 0xCA}));
        EXPECT_EQ(driver->cachedInputSource(key), c.cached);
    }

    // The answer is the second write's; the wait between them runs on the loop.
    struct PowerCase {
        int first, second;
        bool cancel, reported;
    };
    for (PowerCase c :
         {PowerCase{-1, 0, false, true}, PowerCase{0, -1, false, false}, PowerCase{0, 0, true, false}}) {
        monitor.transfers.clear();
        monitor.setResult = c.first;
        std::optional<bool> reported;
        auto body = [](DDCDisplayDriver& driver, ManagedDisplay display,
                       std::optional<bool>& out) -> Task<void> {
            DDCDisplayDriver::PowerOffConfirmed confirmed;
            out = co_await driver.powerOff(display, confirmed);
        };
        TaskHandle task = spawn(loop, body(*driver, d, reported));
        loop.runUntilIdle();
        ASSERT_EQ(monitor.transfers.size(), 1u);
        if (c.cancel)
            task.cancel(); // the user may close the panel: the second write still goes out
        monitor.setResult = c.second;
        loop.advance(99ms);
        EXPECT_EQ(monitor.transfers.size(), 1u);
        loop.advance(1ms);
        ASSERT_EQ(monitor.transfers.size(), 2u);
        for (auto& t : monitor.transfers)
            EXPECT_EQ(t.bytes, (Bytes{0x84, 0x03, 0xD6, 0x00, 0x05, 0x6B}));
        loop.runUntilSettled(1s);
        EXPECT_EQ(reported, c.cancel ? std::nullopt : std::optional(c.reported));
    }

    // A built-in display is refused even under a key that has a channel.
    monitor.transfers.clear();
    ManagedDisplay builtIn = d;
    builtIn.isBuiltIn = true;
    builtIn.capabilities.supportsPowerOff = true;
    DDCDisplayDriver::PowerOffConfirmed confirmed;
    EXPECT_FALSE(run(driver->powerOff(builtIn, confirmed)));
    EXPECT_FALSE(run(driver->powerOff(display(3, 2, 0x20), confirmed)));
    EXPECT_TRUE(monitor.transfers.empty());
}

} // namespace
} // namespace brivio
