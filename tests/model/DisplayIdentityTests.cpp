#include "model/DisplayIdentity.h"
#include "model/ManagedDisplay.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unordered_set>

namespace brivio {
namespace {

DisplayIdentity identity(std::uint32_t vendor, std::uint32_t product, std::uint32_t serial, std::string name,
                         std::uint32_t unit, std::uint32_t cgID = 1) {
    return DisplayIdentity{cgID, vendor, product, serial, std::move(name), unit};
}

TEST(DisplayIdentity, StableKeyCases) {
    struct Case {
        DisplayIdentity identity;
        const char* key;
    } cases[] = {
        {identity(0, 0, 0, "Built-in Display", 0), "name-Built-in_Display"},
        // By name: only spaces change, and serial and unit stay out.
        {identity(0, 0, 7, "My  Monitor-2\t", 3), "name-My__Monitor-2\t"},
        {identity(16, 48, 5, "Studio", 2), "v16-p48-s5"},
        {identity(16, 48, 5, "Studio", 9), "v16-p48-s5"},
        {identity(16, 48, 0, "Studio", 2), "v16-p48-s0-u2"},
        {identity(0, 48, 0, "", 0), "v0-p48-s0-u0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.identity.stableKey(), c.key) << c.identity.description();
}

TEST(DisplayIdentity, DescriptionAndCgIDIdentity) {
    auto a = identity(16, 48, 0, "Studio 27", 2, 2);
    EXPECT_EQ(a.description(), "Display(Studio 27 v=16 p=48 s=0 cg=2)");

    // A reconnect under a new display number keeps the key but is a different value.
    auto b = a;
    b.cgID = 3;
    EXPECT_EQ(a.stableKey(), b.stableKey());
    EXPECT_NE(a, b);
    EXPECT_NE((ManagedDisplay{a, false, {}}), (ManagedDisplay{b, false, {}}));
    std::unordered_set<DisplayIdentity> set{a, b, a};
    EXPECT_EQ(set.size(), 2u);
}

TEST(DisplayIdentity, JsonRoundTripAndStrictDecoding) {
    auto a = identity(16, 48, 5, "Stüdio", 4294967295u, 9);
    auto j = a.toJson();
    EXPECT_EQ(j.at("modelName"), "Stüdio");
    EXPECT_EQ(DisplayIdentity::fromJson(nlohmann::json::parse(j.dump())), a);

    for (const char* key : {"cgID", "vendorID", "productID", "serial", "modelName", "unitNumber"}) {
        auto missing = j;
        missing.erase(key);
        EXPECT_FALSE(DisplayIdentity::fromJson(missing)) << key;
        EXPECT_THROW(missing.get<DisplayIdentity>(), nlohmann::json::exception) << key;
    }
    // Values that a lenient decoder would coerce into a different display.
    for (const char* bad : {R"({"serial": -1})", R"({"serial": true})", R"({"serial": 4294967296})",
                            R"({"serial": 1.5})", R"({"modelName": 5})"}) {
        auto mistyped = j;
        mistyped.update(nlohmann::json::parse(bad));
        EXPECT_FALSE(DisplayIdentity::fromJson(mistyped)) << bad;
    }
}

} // namespace
} // namespace brivio
