#include "drivers/InputSource.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

TEST(InputSource, UnknownInputsHaveNoEntryAndThePlainSymbol) {
    // An input outside the list, or none read yet, has no entry and the plain connector symbol.
    EXPECT_EQ(inputSourceWithValue(0x13), nullptr);
    EXPECT_EQ(inputSourceSymbol(0x13), "cable.connector");
    EXPECT_EQ(inputSourceSymbol(std::nullopt), "cable.connector");
    EXPECT_EQ(inputSourceSymbol(0x11), "tv");
}

TEST(InputSource, WordsNameAnInputByNameOrValue) {
    struct Case {
        const char* word;
        std::optional<std::uint8_t> value;
    };
    const Case cases[] = {
        {"HDMI 2", 0x12},        {"hdmi2", 0x12},      {"displayport-1", 0x0F},
        {"usbc", 0x1B},          {"0x13", 0x13},       {"17", 0x11},
        {"0X1b", 0x1B},          {"0", std::nullopt},  {"256", std::nullopt},
        {"hdmi3", std::nullopt}, {"", std::nullopt},   {"0x", std::nullopt},
        {"1e", std::nullopt},    {"-1", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseInputSource(c.word), c.value) << c.word;
}

} // namespace
} // namespace brivio
