#include "base/BoundedJson.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace brivio {
namespace {

JsonReadError failure(const std::string& text, JsonLimits limits = {}) {
    JsonReadError error;
    EXPECT_FALSE(parseBoundedJson(text, limits, &error)) << text.substr(0, 40);
    return error;
}

TEST(BoundedJson, RefusesWhatTheReaderCannotHoldNamingWhereItStopped) {
    EXPECT_EQ(*parseBoundedJson(R"({"a": [1, {"b": 2}]})"), nlohmann::json::parse(R"({"a": [1, {"b": 2}]})"));

    // Far deeper than any stack could recurse: refused without building anything.
    auto deep = failure("{\"a\": " + std::string(100000, '[') + std::string(100000, ']') + "}");
    EXPECT_EQ(deep.expected, "at most 64 levels of nesting");
    std::string path = "a";
    for (int i = 0; i < 63; ++i)
        path += "[0]";
    EXPECT_EQ(deep.path, path);

    auto overflow = failure(R"({"a": [1, {"b": 1e400}]})");
    EXPECT_EQ(overflow.path, "a[1].b");
    EXPECT_EQ(overflow.expected, "a number within the range of a double, not 1e400");
    EXPECT_EQ(failure(std::string("{}\0{\"b\": 1}", 12)).expected, "text without NUL bytes (one at byte 2)");
    EXPECT_EQ(failure("[1, 2]", JsonLimits{5, 8}).expected, "at most 5 bytes, not 6");
}

TEST(BoundedJson, ReadsOnlyRegularFilesUpToTheirLimit) {
    testing::TempDir dir;
    const std::string file = dir.path() + "/doc.json", fifo = dir.path() + "/fifo";
    std::ofstream(file) << "[1, 2, 3]";
    EXPECT_EQ(readBoundedFile(file, 9).contents, "[1, 2, 3]");
    EXPECT_EQ(readBoundedFile(file, 8).status, BoundedReadStatus::tooLarge);
    EXPECT_EQ(readBoundedFile(dir.path() + "/none", 8).status, BoundedReadStatus::missing);
    // Nobody writes to it: a blocking read would never return.
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readBoundedFile(fifo, 100).status, BoundedReadStatus::failed);
}

} // namespace
} // namespace brivio
