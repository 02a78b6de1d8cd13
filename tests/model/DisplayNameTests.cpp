#include "model/DisplayName.h"

#include <gtest/gtest.h>
#include <string_view>

namespace brivio {
namespace {

constexpr std::uint32_t vendor = 0x1234;
constexpr std::uint32_t product = 0x5678;

// An EDID with the vendor and product numbers and a product-name descriptor in `slot` (0-3); the slots
// before it hold a serial-text descriptor.
EdidBlock edid(std::string_view name, std::size_t size = 128, std::size_t slot = 0) {
    EdidBlock data(size, 0);
    data[8] = 0x12, data[9] = 0x34;   // vendor, big-endian
    data[10] = 0x78, data[11] = 0x56; // product, little-endian
    for (std::size_t i = 0; i <= slot && 54 + 18 * i + 18 <= size; ++i) {
        std::size_t at = 54 + 18 * i;
        data[at + 3] = i == slot ? 0xFC : 0xFF;
        std::string_view text = i == slot ? name : "SERIAL";
        for (std::size_t k = 0; k < 13; ++k)
            data[at + 5 + k] = k < text.size() ? static_cast<std::uint8_t>(text[k]) : ' ';
    }
    return data;
}

TEST(DisplayName, ProductNameFromEdid) {
    struct Case {
        EdidBlock data;
        std::uint32_t vendor, product;
        std::optional<std::string> name;
    } cases[] = {
        {edid("Studio\n   "), vendor, product, "Studio"},
        {edid("  Wide 34 \n"), vendor, product, "Wide 34"},
        {edid(std::string_view("Pad\0\0\0\0\0\0\0\0\0\0", 13)), vendor, product, "Pad"},
        {edid("Third", 256, 2), vendor, product, "Third"},
        {edid("Studio", 127), vendor, product, std::nullopt},
        {edid("Studio"), 0x3412, product, std::nullopt},
        {edid("Studio"), vendor, 0x7856, std::nullopt},
        {edid(" \n Studio"), vendor, product, std::nullopt},
        {edid("Studio", 128, 4), vendor, product, std::nullopt}, // no name descriptor at all
    };
    for (const auto& c : cases)
        EXPECT_EQ(productNameFromEdid(c.data, c.vendor, c.product), c.name) << c.name.value_or("(none)");
}

TEST(DisplayName, ResolutionOrder) {
    std::vector<EdidBlock> edids{edid("Other", 127), edid("Studio")};
    EXPECT_EQ(resolveDisplayName(true, "Screen", edids, vendor, product, 7), "Built-in Display");
    EXPECT_EQ(resolveDisplayName(false, "Screen", edids, vendor, product, 7), "Screen");
    EXPECT_EQ(resolveDisplayName(false, std::nullopt, edids, vendor, product, 7), "Studio");
    EXPECT_EQ(resolveDisplayName(false, std::nullopt, edids, vendor + 1, product, 7), "Display 7");
    EXPECT_EQ(resolveDisplayName(false, std::nullopt, std::vector<EdidBlock>{}, 0, 0, 0), "Display 0");

    int reads = 0;
    EdidSource source = [&] {
        ++reads;
        return edids;
    };
    EXPECT_EQ(resolveDisplayName(false, "Screen", source, vendor, product, 7), "Screen");
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(resolveDisplayName(false, std::nullopt, source, vendor, product, 7), "Studio");
    EXPECT_EQ(reads, 1);
}

} // namespace
} // namespace brivio
