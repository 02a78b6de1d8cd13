#include "model/DisplayCapabilities.h"
#include "model/DisplayControl.h"
#include "model/DisplayDriverKind.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unordered_set>

namespace brivio {
namespace {

DisplayCapabilities sample(std::optional<FallbackReason> reason) {
    return DisplayCapabilities{true, false, true, false, true, false, true, reason, false, std::nullopt};
}

TEST(DisplayCapabilities, JsonRoundTripWithAndWithoutReason) {
    auto without = sample(std::nullopt).toJson();
    EXPECT_FALSE(without.contains("hardwareBrightnessFallbackReason"));
    EXPECT_EQ(without.size(), 8u);
    EXPECT_EQ(DisplayCapabilities::fromJson(nlohmann::json::parse(without.dump())), sample(std::nullopt));

    for (auto reason : {FallbackReason::noDDC, FallbackReason::ddcUnstable, FallbackReason::nativeUnsupported,
                        FallbackReason::probing}) {
        auto j = sample(reason).toJson();
        EXPECT_EQ(j.at("hardwareBrightnessFallbackReason"), std::string(toString(reason)));
        EXPECT_EQ(DisplayCapabilities::fromJson(j), sample(reason));
    }
}

TEST(DisplayCapabilities, Decoding) {
    auto base = sample(FallbackReason::probing).toJson();
    auto with = [&](const char* patch) {
        auto j = base;
        j.merge_patch(nlohmann::json::parse(patch));
        return DisplayCapabilities::fromJson(j);
    };
    EXPECT_EQ(with(R"({"hardwareBrightnessFallbackReason": null})"), sample(std::nullopt));
    EXPECT_FALSE(with(R"({"supportsMute": null})")); // merge_patch removes the key
    EXPECT_FALSE(with(R"({"supportsMute": 1})"));
    EXPECT_FALSE(with(R"({"hardwareBrightnessFallbackReason": "asleep"})"));
    EXPECT_FALSE(with(R"({"hardwareBrightnessFallbackReason": 0})"));

    // A record from before the gamma flag reads as no gamma; why nothing dims travels along.
    auto undimmable = sample(FallbackReason::noDDC);
    undimmable.supportsGammaDimming = true;
    undimmable.softwareDimmingUnavailable = "no layer shell";
    EXPECT_EQ(DisplayCapabilities::fromJson(undimmable.toJson()), undimmable);
    auto older = base;
    older.erase("supportsGammaDimming");
    ASSERT_TRUE(DisplayCapabilities::fromJson(older));
    EXPECT_FALSE(DisplayCapabilities::fromJson(older)->supportsGammaDimming);
}

TEST(DisplayCapabilities, EqualityAndHashSeeTheReason) {
    std::unordered_set<DisplayCapabilities> set{sample(std::nullopt), sample(FallbackReason::noDDC),
                                                sample(FallbackReason::probing),
                                                sample(FallbackReason::noDDC)};
    EXPECT_EQ(set.size(), 3u);
}

TEST(DisplayModelEnums, RawStringsRoundTrip) {
    EXPECT_EQ(allDisplayControls, (std::array{DisplayControl::brightness, DisplayControl::contrast,
                                              DisplayControl::volume, DisplayControl::mute}));
    for (auto control : allDisplayControls)
        EXPECT_EQ(parseDisplayControl(toString(control)), control);
    EXPECT_EQ(parseDisplayDriverKind("overlay"), DisplayDriverKind::overlay);
    EXPECT_EQ(toString(DisplayDriverKind::native), "native");
    EXPECT_EQ(parseFallbackReason("ddcUnstable"), FallbackReason::ddcUnstable);
    for (const char* unknown : {"", "Brightness", "gamma", "noddc"}) {
        EXPECT_FALSE(parseDisplayControl(unknown));
        EXPECT_FALSE(parseDisplayDriverKind(unknown));
        EXPECT_FALSE(parseFallbackReason(unknown));
    }
}

} // namespace
} // namespace brivio
