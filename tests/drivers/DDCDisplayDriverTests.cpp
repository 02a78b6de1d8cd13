#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "core/model/DisplayDriverError.h"
#include "drivers/DDCDisplayDriver.h"
#include "drivers/FakeMonitor.h"
#include "drivers/FakePlatform.h"

#include <cmath>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using Features = std::map<std::uint8_t, FeatureValue>;

// Capabilities by letters: Brightness Contrast Volume Input Power-off Overlay, n = reason noDDC.
DisplayCapabilities caps(std::string_view f) {
    DisplayCapabilities c;
    c.supportsHardwareBrightness = f.find('B') != f.npos;
    c.supportsHardwareContrast = f.find('C') != f.npos;
    c.supportsHardwareVolume = f.find('V') != f.npos;
    c.supportsInputSwitch = f.find('I') != f.npos;
    c.supportsPowerOff = f.find('P') != f.npos;
    c.supportsOverlayDimming = f.find('O') != f.npos;
    if (f.find('n') != f.npos)
        c.hardwareBrightnessFallbackReason = FallbackReason::noDDC;
    return c;
}

struct DriverTest : ::testing::Test {
    VirtualLoop loop;
    CaptureLog log;
    FakeWindowServer ws;
    FakeRegistry registry;
    FakeAVService av;
    bool avSymbols = true;
    std::optional<float> systemLevel; // the system brightness service answers with this level
    std::vector<float> systemWrites;
    std::unique_ptr<DDCDisplayDriver> driver;

    std::shared_ptr<FakeMonitor> addService(const std::string& cls, RegistryID id, Features features) {
        registry.addMonitorService(cls, id, 0x10, 0x2A);
        auto m = av.monitors[id] = std::make_shared<FakeMonitor>(loop);
        m->features = std::move(features);
        return m;
    }
    ManagedDisplay display(DisplayNumber cg, std::uint32_t unit = 1, std::uint32_t vendor = 0x10) {
        if (std::none_of(ws.displays.begin(), ws.displays.end(), [&](auto& d) { return d.number == cg; }))
            ws.displays.push_back({cg, vendor, 0x2A, 0, unit, false});
        return {{cg, vendor, 0x2A, 0, fmt::format("Display-{:04X}/002A", vendor), unit}, false, {}};
    }
    DDCDisplayDriver& make() {
        DisplayServicesSymbols ds;
        if (systemLevel) {
            ds.getBrightness = [this](std::uint32_t, float& b) {
                return b = *systemLevel, *systemLevel < 0 ? -1 : 0;
            };
            ds.setBrightness = [this](std::uint32_t, float b) { return systemWrites.push_back(b), 0; };
        }
        driver = std::make_unique<DDCDisplayDriver>(ws, registry,
                                                    avSymbols ? av.symbols() : AVServiceSymbols{}, ds);
        return *driver;
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
    std::optional<DisplayDriverError> write(double v, DisplayControl c, const ManagedDisplay& d) {
        auto task = [](DDCDisplayDriver& drv, double v, DisplayControl c, ManagedDisplay d) -> Task<bool> {
            co_await drv.writeValue(v, c, d);
            co_return true;
        };
        try {
            run(task(*driver, v, c, d));
            return std::nullopt;
        } catch (const DisplayDriverError& e) {
            return e;
        }
    }
    std::vector<std::vector<std::uint8_t>> setRequests(const FakeMonitor& m) {
        std::vector<std::vector<std::uint8_t>> out;
        for (auto& t : m.writes())
            if (t.bytes.size() == 6)
                out.push_back({t.bytes[2], t.bytes[3], t.bytes[4]});
        return out;
    }
};

TEST_F(DriverTest, ProbeOutcomes) {
    struct Case {
        const char* name;
        const char* cls;
        Features features;
        int setResult;
        bool avSymbols;
        std::optional<float> systemLevel;
        const char* expected;
        std::vector<std::string> lines;
    } cases[] = {
        {"silent monitor",
         "DCPAVServiceProxy",
         {},
         0,
         true,
         std::nullopt,
         "On",
         {"DDC: Display-0010/002A matched 1 service(s), preferred=DCPAVServiceProxy",
          "DDC: trying DCPAVServiceProxy[100] for Display-0010/002A",
          "DDC:   GetVCP 0x10 no reply via DCPAVServiceProxy",
          "DDC: Display-0010/002A — all paths exhausted, soft-dim only"}},
        {"brightness only",
         "DCPAVServiceProxy",
         {{0x10, {80, 100}}},
         0,
         true,
         std::nullopt,
         "BPO",
         {"DDC: ✓ DCPAVServiceProxy[100] confirmed for Display-0010/002A — 80% max=100"}},
        {"every feature",
         "DCPAVServiceProxy",
         {{0x10, {30, 100}}, {0x12, {50, 100}}, {0x62, {75, 150}}, {0x60, {0x10F, 0x1FF}}},
         0,
         true,
         std::nullopt,
         "BCVIPO",
         {"DDC: contrast (0x12) supported for Display-0010/002A current=50% max=100",
          "DDC: volume (0x62) supported for Display-0010/002A current=50% max=150",
          "DDC: input (0x60) supported for Display-0010/002A current=271 → stored=15"}},
        {"current above max",
         "DCPAVServiceProxy",
         {{0x10, {120, 100}}},
         0,
         true,
         std::nullopt,
         "BPO",
         {"DDC: ✓ DCPAVServiceProxy[100] confirmed for Display-0010/002A — 100% max=100"}},
        {"display class cannot power off",
         "AppleDisplay",
         {{0x10, {80, 100}}},
         0,
         true,
         std::nullopt,
         "BO",
         {}},
        {"max 0, system brightness",
         "DCPAVServiceProxy",
         {{0x10, {50, 0}}},
         0,
         true,
         0.75f,
         "BPO",
         {"DDC:   GetVCP 0x10 no reply via DCPAVServiceProxy",
          "DDC: ✓ DisplayServices confirmed for Display-0010/002A — 75%"}},
        {"writes fail, system brightness unusable",
         "DCPAVServiceProxy",
         {{0x10, {80, 100}}},
         -1,
         true,
         -1.0f,
         "On",
         {"DDC:   SetVCP 0x10 failed via DCPAVServiceProxy",
          "DDC: DisplayServices not usable for Display-0010/002A (raw=-1.0)"}},
        {"symbols missing",
         "DCPAVServiceProxy",
         {{0x10, {80, 100}}},
         0,
         false,
         std::nullopt,
         "On",
         {"DDC: IOAVService symbols missing from IOKit"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        registry.services.clear();
        ws.displays.clear();
        log.clear();
        auto monitor = addService(c.cls, 0x100, c.features);
        monitor->setResult = c.setResult;
        avSymbols = c.avSymbols;
        systemLevel = c.systemLevel;
        make();
        auto d = display(2);
        EXPECT_EQ(probe(d), caps(c.expected));
        for (auto& line : c.lines)
            EXPECT_TRUE(log.contains(line)) << line;
        auto key = d.identity.stableKey();
        if (caps(c.expected).supportsPowerOff && !systemLevel) {
            // The current value is written back, capped at the maximum.
            auto [current, max] = c.features[0x10];
            std::uint16_t back = std::min(current, max);
            EXPECT_EQ(setRequests(*monitor), (std::vector<std::vector<std::uint8_t>>{
                                                 {0x10, std::uint8_t(back >> 8), std::uint8_t(back)}}));
            EXPECT_EQ(driver->serviceIDByDisplay().at(key), 0x100u);
        }
        EXPECT_EQ(driver->ddcContrastCurrentCache().count(key), c.features.count(0x12));
        EXPECT_EQ(driver->inputSource(key),
                  c.features.count(0x60) ? std::optional<std::uint8_t>(15) : std::nullopt);
        // Answered from the cache afterwards: no further traffic.
        auto traffic = monitor->transfers.size();
        EXPECT_EQ(probe(d), caps(c.expected));
        EXPECT_EQ(monitor->transfers.size(), traffic);
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
        log.clear();
        addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 100}}});
        if (twoServices)
            addService("DCPAVServiceProxy", 0x101, {{0x10, {40, 100}}});
        make();
        auto first = display(2, 1), second = display(3, 2);
        EXPECT_EQ(probe(first), caps("BPO"));
        EXPECT_EQ(probe(second), twoServices ? caps("BPO") : caps("On"));
        EXPECT_TRUE(log.contains("DDC:   Skipping DCPAVServiceProxy[100] — claimed by another display"));
        EXPECT_EQ(driver->claimedServiceIDs().size(), twoServices ? 2u : 1u);

        // After the claims are forgotten the first monitor keeps its channel, and the second display's
        // fresh probe still must not take it.
        driver->invalidateTopology();
        EXPECT_TRUE(driver->claimedServiceIDs().empty());
        EXPECT_EQ(probe(second), twoServices ? caps("BPO") : caps("On"));
        EXPECT_NE(driver->channel(second.identity.stableKey()), driver->channel(first.identity.stableKey()));
        // Once the first monitor leaves, its service is free again.
        driver->evict(first.identity.stableKey());
        driver->invalidateTopology();
        EXPECT_FALSE(driver->channel(first.identity.stableKey()));
        EXPECT_EQ(probe(second), caps("BPO"));
    }
}

TEST_F(DriverTest, InvalidatingKeepsConfirmedCapabilitiesOnly) {
    auto monitor = addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 100}}});
    make();
    auto confirmed = display(2, 1), software = display(3, 2, 0x20);
    probe(confirmed);
    probe(software);
    driver->invalidateTopology();
    EXPECT_EQ(driver->capabilityCache().count(confirmed.identity.stableKey()), 1u);
    EXPECT_EQ(driver->capabilityCache().count(software.identity.stableKey()), 0u);
    auto traffic = monitor->transfers.size();
    EXPECT_EQ(probe(confirmed), caps("BPO"));
    EXPECT_EQ(monitor->transfers.size(), traffic);
    probe(software);
    EXPECT_EQ(log.count("Building display topology"), 2u);
    driver->forgetChannelCapabilities();
    EXPECT_TRUE(driver->capabilityCache().empty() ||
                !driver->capabilityCache().count(confirmed.identity.stableKey()));
}

TEST_F(DriverTest, WritesScaleClampAndFallBack) {
    auto monitor = addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 255}}});
    systemLevel = 0.5f;
    make();
    auto d = display(2);
    probe(d);
    monitor->transfers.clear();
    struct Case {
        double value;
        DisplayControl control;
        std::vector<std::uint8_t> sent;
    } cases[] = {
        {0.5, DisplayControl::brightness, {0x10, 0, 128}}, // 127.5 rounds up
        {1.4, DisplayControl::brightness, {0x10, 0, 255}},
        {-0.2, DisplayControl::brightness, {0x10, 0, 0}},
        {std::nan(""), DisplayControl::brightness, {0x10, 0, 0}},
        {0.5, DisplayControl::contrast, {0x12, 0, 50}}, // no maximum read: 100
        {0.305, DisplayControl::volume, {0x62, 0, 31}},
    };
    for (auto& c : cases) {
        monitor->transfers.clear();
        EXPECT_EQ(write(c.value, c.control, d), std::nullopt);
        EXPECT_EQ(setRequests(*monitor), std::vector<std::vector<std::uint8_t>>{c.sent}) << c.value;
    }
    EXPECT_EQ(write(0.5, DisplayControl::mute, d),
              DisplayDriverError::unsupportedControl(DisplayControl::mute));

    // Dropped while the display is being probed.
    monitor->transfers.clear();
    driver->probingKeys().insert(d.identity.stableKey());
    EXPECT_EQ(write(0.7, DisplayControl::brightness, d), std::nullopt);
    EXPECT_TRUE(monitor->transfers.empty());
    driver->probingKeys().clear();

    // A failed I2C write is logged; without the system path the write fails.
    monitor->setResult = -1;
    EXPECT_EQ(write(0.7, DisplayControl::brightness, d),
              DisplayDriverError::unsupportedControl(DisplayControl::brightness));
    EXPECT_TRUE(log.contains("DDC: I²C write failed for Display-0010/002A"));
    EXPECT_EQ(write(0.7, DisplayControl::contrast, d),
              DisplayDriverError::unsupportedControl(DisplayControl::contrast));
    EXPECT_TRUE(systemWrites.empty());
}

TEST_F(DriverTest, SystemBrightnessPathServesReadsAndWrites) {
    addService("DCPAVServiceProxy", 0x100, {});
    systemLevel = 0.4f;
    make();
    auto d = display(2);
    EXPECT_EQ(probe(d), caps("BPO"));
    EXPECT_EQ(run(driver->readValue(DisplayControl::brightness, d)), 0.4f);
    EXPECT_EQ(write(0.6, DisplayControl::brightness, d), std::nullopt);
    EXPECT_EQ(systemWrites, (std::vector<float>{0.4f, 0.6f}));
    EXPECT_EQ(write(0.6, DisplayControl::volume, d),
              DisplayDriverError::unsupportedControl(DisplayControl::volume));
}

TEST_F(DriverTest, ReadsBrightnessOnly) {
    auto monitor = addService("DCPAVServiceProxy", 0x100, {{0x10, {80, 100}}});
    make();
    auto d = display(2), unknown = display(3, 2, 0x20);
    probe(d);
    monitor->features[0x10] = {60, 200};
    EXPECT_EQ(run(driver->readValue(DisplayControl::brightness, d)), 0.3);
    EXPECT_EQ(driver->ddcMaxCache().at(d.identity.stableKey()), 200);
    EXPECT_THROW(run(driver->readValue(DisplayControl::contrast, d)), DisplayDriverError);
    try {
        run(driver->readValue(DisplayControl::brightness, unknown));
        ADD_FAILURE();
    } catch (const DisplayDriverError& e) {
        EXPECT_EQ(e, DisplayDriverError::notImplemented());
    }
}

} // namespace
} // namespace brivio
