#include "base/Log.h"
#include "drivers/DisplayTopology.h"
#include "drivers/Fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using ::testing::ElementsAre;

PropertyValue num(std::int64_t v) {
    return {v};
}

std::vector<RegistryID> ids(const DisplayTopologyEntry& entry) {
    std::vector<RegistryID> out;
    for (auto& s : entry.matchedServices)
        out.push_back(s.registryID);
    return out;
}

TEST(DisplayTopology, MatchesByVendorAndProductAndLogsTheBlock) {
    CaptureLog log;
    FakeWindowServer ws;
    ws.displays = {{1, 0x610, 0xA0, 0, 0, true}, {2, 0x10, 0x2A, 7, 1, false}};
    FakeRegistry registry;
    registry.add("AppleDisplay", 0x64, 0x10, 0x2A, false);
    registry.add("DCPAVServiceProxy", 0x12AB, 0x10, 0x2A);
    // Shares the monitor's unit number, but the vendor/product match takes precedence.
    registry.services.push_back({{0x12AC, "DCPAVServiceProxy"},
                                 PropertyDictionary{{"IOFramebufferOpenGLIndex", num(1)},
                                                    {"IOAVServiceUserInterfaceSupported", num(1)}}});
    registry.failingClasses["AGXDisplay"] = -536870212;

    auto topology = buildTopology(ws, registry);

    ASSERT_EQ(topology.size(), 2u);
    EXPECT_TRUE(topology[0].matchedServices.empty());
    EXPECT_THAT(ids(topology[1]), ElementsAre(0x64, 0x12AB));
    EXPECT_EQ(preferredClassName(topology[1]), "DCPAVServiceProxy");
    // The block names each service once with its keys, a failed class, and what each display matched.
    EXPECT_TRUE(log.contains("  DCPAVServiceProxy[12AC] unit=1 IOAVService✓"));
    EXPECT_TRUE(log.contains("  AGXDisplay: IOServiceGetMatchingServices failed kr=-536870212"));
    EXPECT_TRUE(log.contains("  CG[2] \"Display-0010/002A\" v=0010 p=002A s=7 unit=1 builtIn=false\n"
                             "    ✓ AppleDisplay[64] v=0010 p=002A s=0\n"
                             "    ✓ DCPAVServiceProxy[12AB] v=0010 p=002A s=0 IOAVService✓"));
}

TEST(DisplayTopology, FallsBackToUnitsThenToEveryAVService) {
    CaptureLog log;
    FakeWindowServer ws;
    ws.displays = {{1, 0x610, 0xA0, 0, 0, true}, {2, 0, 0, 0, 5, false}, {3, 0x1E6D, 0x5B09, 0, 3, false}};
    FakeRegistry registry;
    // Vendor 0 never matches, not even the display whose vendor is 0.
    registry.services.push_back({{0x20, "AppleDisplay"}, PropertyDictionary{}});
    registry.services.push_back({{0x30, "AGXDisplay"}, PropertyDictionary{{"DisplayUnit", num(3)}}});
    registry.add("DCPAVServiceProxy", 0x40, 0, 0);
    registry.add("DCPAVServiceProxy", 0x41, 0, 0);

    auto topology = buildTopology(ws, registry);

    EXPECT_TRUE(topology[0].matchedServices.empty());
    EXPECT_THAT(ids(topology[1]), ElementsAre(0x40, 0x41));
    EXPECT_THAT(ids(topology[2]), ElementsAre(0x30));
    EXPECT_EQ(log.count("unmatched by VID/PID"), 1u);
    EXPECT_TRUE(log.contains(
        "  CG[2] unmatched by VID/PID — assigning 2 AV candidate(s): DCPAVServiceProxy, DCPAVServiceProxy"));

    ws.listFails = true;
    EXPECT_TRUE(buildTopology(ws, registry).empty());
    EXPECT_TRUE(log.contains("━━━ Display Topology (0 CG display(s)) ━━━"));
}

TEST(DisplayTopology, AServiceThatNamesItsDisplayIsThatDisplaysAlone) {
    CaptureLog log;
    FakeWindowServer ws;
    ws.displays = {{2, 0x10, 0x2A, 0, 1, false}, {3, 0x10, 0x2A, 0, 2, false}, {4, 0x10, 0x2A, 0, 3, false}};
    FakeRegistry registry;
    for (RegistryID id : {0x20, 0x30, 0x40})
        registry.add("DCPAVServiceProxy", id, 0x10, 0x2A);
    registry.services[0].second->emplace(displayNumberProperty, num(3));
    registry.services[1].second->emplace(displayNumberProperty, num(2));

    auto topology = buildTopology(ws, registry);

    EXPECT_THAT(ids(topology[0]), ElementsAre(0x30));
    EXPECT_THAT(ids(topology[1]), ElementsAre(0x20));
    // A display no service names takes only the services that name none.
    EXPECT_THAT(ids(topology[2]), ElementsAre(0x40));
    EXPECT_TRUE(log.contains("    ✓ DCPAVServiceProxy[30] v=0010 p=002A s=0 display=2 IOAVService✓"));
}

TEST(DisplayTopology, SnapshotReadsNumbersUnitsAndAttributes) {
    using Dict = PropertyDictionary;
    struct Case {
        std::optional<Dict> properties;
        std::uint32_t vendor, product;
        std::optional<std::uint32_t> unit;
    } cases[] = {
        {Dict{{"IOFramebufferOpenGLIndex", num(1)}, {"DisplayUnit", num(3)}}, 0, 0, 1u},
        {Dict{{"IOFramebufferOpenGLIndex", {std::string("x")}}, {"IOFramebufferUnitNumber", num(2)}}, 0, 0,
         2u},
        {Dict{{"DisplayUnit", num(-1)}, {"Unit", num(-1)}}, 0, 0, std::nullopt},
        {Dict{{"DisplayVendorID", {-3.0}}, {"DisplayProductID", {42.0}}, {"Unit", num(4)}}, 0, 42, 4u},
        {Dict{{"DisplayProductID", num(0x2A)},
              {"IODisplayAttributes",
               {Dict{{"DisplayVendorID", num(0x10)}, {"DisplayProductID", num(0x99)}}}}},
         0x10, 0x2A, std::nullopt},
        {std::nullopt, 0, 0, std::nullopt},
    };
    for (auto& c : cases) {
        FakeRegistry registry;
        registry.services.push_back({{7, "AGXDisplay"}, c.properties});
        auto s = snapshotService(registry, registry.services[0].first);
        const std::string trace = ::testing::PrintToString(&c - cases);
        EXPECT_EQ(s.vendorID, c.vendor) << trace;
        EXPECT_EQ(s.productID, c.product) << trace;
        EXPECT_EQ(s.unitNumber, c.unit) << trace;
    }
}

TEST(DisplayTopology, PreferredClassFollowsThePriorityList) {
    auto preferred = [](std::vector<std::string> classes, const TopologyClasses& priority = {}) {
        DisplayTopologyEntry e;
        for (auto& c : classes)
            e.matchedServices.emplace_back().className = c;
        return preferredClassName(e, priority);
    };
    EXPECT_EQ(preferred({"AppleDisplay", "DCPAVServiceProxy"}), "DCPAVServiceProxy");
    EXPECT_EQ(preferred({"AGXDisplay", "AppleDisplay"}), "AppleDisplay");
    EXPECT_EQ(preferred({"Elsewhere", "Other"}), "Elsewhere");
    EXPECT_EQ(preferred({}), std::nullopt);
    EXPECT_EQ(preferred({"drm", "i2c"}, {{"drm", "i2c"}, {"i2c", "drm"}, {}}), "i2c");
}

} // namespace
} // namespace brivio
