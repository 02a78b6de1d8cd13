#include "CtlRunner.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace brivio {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

struct BrivioctlTest : ::testing::Test {
    testing::TempDir config;
    std::string desk = testing::sourceDir() + "/examples/desk.json";

    testing::CtlResult run(const std::string& arguments) { return testing::runBrivioctl(arguments); }
    testing::CtlResult sim(const std::string& arguments) {
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

TEST_F(BrivioctlTest, PresetsStepAndSyncCarryOverRuns) {
    ASSERT_EQ(sim("preset apply night").status, 0);
    // The simulated monitor keeps its value between runs, as a real one does.
    auto list = nlohmann::json::parse(sim("list --json").out);
    for (auto& d : list)
        EXPECT_NEAR(d["brightness"].get<double>(), 0.2, 1e-6) << d["stableKey"];
    EXPECT_THAT(sim("preset list").out, HasSubstr("(active)"));

    ASSERT_EQ(sim("sync 2").status, 0);
    ASSERT_EQ(sim("step up").status, 0);
    list = nlohmann::json::parse(sim("list --json").out);
    // The monitor holds whole percent, so its read-back is 26 %.
    for (auto& d : list)
        EXPECT_NEAR(d["brightness"].get<double>(), 0.2625, 0.003) << d["stableKey"];
    EXPECT_THAT(sim("preset list").out, ::testing::Not(HasSubstr("(active)")));

    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(sim(std::string("preset save ") + name).status, 0);
    auto seventh = sim("preset save d");
    EXPECT_EQ(seventh.status, 2);
    EXPECT_THAT(seventh.out, HasSubstr("already 6 presets"));
    EXPECT_EQ(sim("preset delete Work").status, 2);
    EXPECT_EQ(sim("preset delete a").status, 0);
    EXPECT_EQ(sim("preset save d").status, 0);

    // What cannot be stored is not reported as stored.
    const std::pair<std::string, const char*> refused[] = {{"preset save \"$(printf '\\377')\"", "UTF-8"},
                                                           {"preset save Work --brightness 0.9", "built in"}};
    for (const auto& [command, why] : refused) {
        auto r = sim(command);
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_THAT(r.out, HasSubstr(why)) << command;
        EXPECT_THAT(r.out, ::testing::Not(HasSubstr("Saved"))) << command;
    }
    EXPECT_THAT(sim("preset list").out, HasSubstr("Work             brightness 65%"));
}

TEST_F(BrivioctlTest, ScenarioErrorsNameTheFieldOnOneLine) {
    std::string bad = config.path() + "/bad.json";
    const std::pair<std::string, const char*> cases[] = {
        {R"({"displays": [{"name": "A", "ddc": {"vcp": {"0x10": [60]}}}]})", "displays[0].ddc.vcp.0x10"},
        {R"({"displays": [{"name": "A", "vendor": 1e400}]})", "displays[0].vendor"},
        {"{\"displays\": [{\"name\": \"A\", \"x\\ny\": 1}]}", "displays[0].x\\ny"}};
    for (const auto& [text, field] : cases) {
        std::ofstream(bad) << text;
        auto r = testing::runBrivioctl("--sim " + bad + " list", "", true);
        EXPECT_EQ(r.status, 2) << text;
        EXPECT_THAT(r.err, HasSubstr(bad + ": " + field + ": expected")) << text;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(BrivioctlTest, EventsStillToComeDoNotHoldACommandBack) {
    std::string file = config.path() + "/later.json";
    std::ofstream(file) << R"({"displays": [{"name": "Plain", "vendor": 1, "product": 2}],
        "events": [{"atMs": 7200000, "unplug": 0}]})";
    auto r = run("--sim " + file + " --config " + config.path() + " set 1 brightness 40%");
    EXPECT_EQ(r.status, 0) << r.out;
    std::string trace = config.path() + "/trace.txt";
    auto later =
        run("--sim " + file + " --config " + config.path() + " --trace " + trace + " --advance 3h list");
    EXPECT_EQ(later.status, 0) << later.out;
    EXPECT_THAT(lastTraceLine(trace, "plug"), StartsWith("7200000 plug"));
}

} // namespace
} // namespace brivio
