#include "support/TestSupport.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/wait.h>

namespace brivio {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

struct CommandRun {
    int status = -1;
    std::string out; // stdout and stderr together
};

struct BrivioctlTest : ::testing::Test {
    testing::TempDir config;
    std::string desk = testing::sourceDir() + "/examples/desk.json";

    CommandRun run(const std::string& arguments) {
        std::string command = std::string(BRIVIOCTL_PATH) + " " + arguments + " 2>&1";
        CommandRun result;
        FILE* pipe = popen(command.c_str(), "r");
        std::array<char, 4096> buffer{};
        while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
            result.out.append(buffer.data(), n);
        int raw = pclose(pipe);
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return result;
    }
    CommandRun sim(const std::string& arguments) {
        return run("--sim " + desk + " --config " + config.path() + " " + arguments);
    }
    std::string lastTraceLine(const std::string& path, const std::string& kind) {
        std::ifstream file(path);
        std::string line, last;
        while (std::getline(file, line))
            if (line.find(" " + kind + " ") != std::string::npos)
                last = line;
        return last;
    }
};

TEST_F(BrivioctlTest, ListsAsJsonInOrder) {
    auto r = sim("list --json");
    ASSERT_EQ(r.status, 0) << r.out;
    auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]["isBuiltIn"], true);
    EXPECT_EQ(list[0]["driver"], "native");
    EXPECT_EQ(list[1]["stableKey"], "v16-p48-s5");
    EXPECT_EQ(list[1]["driver"], "ddc");
    EXPECT_EQ(list[1]["brightness"], 0.6);
    EXPECT_EQ(list[1]["capabilities"]["supportsHardwareContrast"], true);
    EXPECT_EQ(list[2]["driver"], "overlay");
    EXPECT_TRUE(list[2]["brightness"].is_null());
}

TEST_F(BrivioctlTest, SetWritesTheMonitorAndIsRememberedInTheNextRun) {
    std::string trace = config.path() + "/trace";
    auto r = sim("--trace " + trace + " set 2 brightness 50%");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_THAT(lastTraceLine(trace, "i2c"), HasSubstr("i2c v16-p48-s5 write 37 51 84 03 10 00 32 9A"));

    ASSERT_EQ(sim("set 3 brightness 0.4").status, 0);
    auto get = sim("get 3 brightness");
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out, "0.4\n");
    EXPECT_THAT(lastTraceLine(trace, "overlay"), HasSubstr("closed"));
}

TEST_F(BrivioctlTest, BadWordsGetOneLineAndStatusTwoAndNothingIsWritten) {
    struct Case {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"set 9 brightness 0.5", "'9' is not a display"},
        {"set nope brightness 0.5", "'nope' is not a display"},
        {"set 2 brightness 1.5", "'1.5' is out of range"},
        {"set 2 brightness half", "'half' is not a level"},
        {"set 3 contrast 0.5", "has no contrast control"},
        {"get 2 hue", "'hue' is not a control"},
        {"frob", "unknown command 'frob'"},
    };
    for (auto& c : cases) {
        auto r = sim(c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_THAT(r.out, StartsWith("brivioctl: ")) << c.arguments;
        EXPECT_THAT(r.out, HasSubstr(c.message)) << c.arguments;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    }
    std::ifstream settings(config.path() + "/settings.json");
    EXPECT_FALSE(settings.good());
}

TEST_F(BrivioctlTest, ScenarioErrorsNameTheField) {
    std::string bad = config.path() + "/bad.json";
    std::ofstream(bad) << R"({"displays": [{"name": "A", "ddc": {"vcp": {"0x10": [60]}}}]})";
    auto r = run("--sim " + bad + " list");
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.out, HasSubstr("displays[0].ddc.vcp.0x10"));
}

} // namespace
} // namespace brivio
