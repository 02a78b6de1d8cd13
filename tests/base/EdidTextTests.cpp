#include "base/EdidText.h"

#include <gtest/gtest.h>
#include <string_view>
#include <vector>

namespace brivio {
namespace {

bool isSpaceOrNul(std::uint8_t byte) {
    return byte == ' ' || byte == 0;
}

TEST(EdidText, CutAtLineFeedTrimmedAndDecoded) {
    struct Case {
        std::string_view raw;
        bool endsAtNul;
        std::string text;
    } cases[] = {
        {"  Studio \n x", false, "Studio"},
        {{"AB\0CD\0\0", 7}, false, {"AB\0CD", 5}}, // inner NUL kept when only padding
        {{"AB\0CD\0\0", 7}, true, "AB"},
        {"Caf\xE9 \xB5", false, "Caf\xC3\xA9 \xC2\xB5"},
        {"\nName", true, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes(c.raw.begin(), c.raw.end());
        EXPECT_EQ(edidDescriptorText(bytes, {.endsAtNul = c.endsAtNul, .isPadding = isSpaceOrNul}), c.text)
            << c.raw;
    }
}

} // namespace
} // namespace brivio
