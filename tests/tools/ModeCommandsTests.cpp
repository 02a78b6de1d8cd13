#include "CtlRunner.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using ::testing::HasSubstr;

struct ModeCommandsTest : ::testing::Test {
    testing::TempDir config;

    testing::CtlResult sim(const std::string& arguments) {
        return testing::runBrivioctl("--sim " + testing::sourceDir() + "/examples/modes.json --config " +
                                     config.path() + " --trace " + trace() + " " + arguments);
    }
    std::string trace() const { return config.path() + "/trace.txt"; }
    std::vector<std::string> traced(const std::string& kind) const {
        std::ifstream file(trace());
        std::vector<std::string> out;
        for (std::string line; std::getline(file, line);)
            if (auto at = line.find(" " + kind + " "); at != std::string::npos)
                out.push_back(line.substr(line.find(' ', at + kind.size() + 2) + 1));
        return out;
    }
};

TEST_F(ModeCommandsTest, ListsWithTheCurrentModeMarked) {
    auto r = sim("modes 1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_THAT(r.out, HasSubstr("*   1  2560 \u00d7 1440 HiDPI"));
    EXPECT_THAT(r.out, HasSubstr("    5  1280 \u00d7 720            59.9 Hz  1280x720_1280x720@59"));
    EXPECT_THAT(sim("modes 1 --all").out, HasSubstr("2560x1440_5120x2880@50"));
}

TEST_F(ModeCommandsTest, ChangesRevertUnlessKept) {
    struct Case {
        const char* command;
        const char* kind;
        std::vector<std::string> trace;
        const char* says;
    };
    const Case cases[] = {
        {"mode 1 4",
         "mode",
         {"1920x1080@60", "2560x1440@60"},
         "Not confirmed: reverted to 2560 \u00d7 1440 HiDPI"},
        {"mode 1 '1920x1080' --keep", "mode", {"1920x1080@60"}, "Kept 1920 \u00d7 1080 at 60 Hz."},
        {"mode 1 1920x1080_3840x2160@60 --keep", "mode", {"1920x1080@60"}, "Kept 1920 \u00d7 1080 HiDPI"},
        {"rotate 1 90", "rotation", {"90", "0"}, "Not confirmed: reverted to 0\u00b0."},
        {"rotate 1 270 --keep", "rotation", {"270"}, "Kept 270\u00b0."},
    };
    for (const auto& c : cases) {
        std::remove(trace().c_str());
        auto r = sim(c.command);
        EXPECT_EQ(r.status, 0) << c.command << "\n" << r.out;
        EXPECT_THAT(r.out, HasSubstr(c.says)) << c.command;
        EXPECT_EQ(traced(c.kind), c.trace) << c.command;
        bool asked = std::string(c.command).find("--keep") == std::string::npos;
        std::string question =
            std::string(c.kind) == "mode" ? "Keep the display changes? (0s)" : "Keep the rotation? (0s)";
        EXPECT_EQ(r.out.find(question) != std::string::npos, asked) << c.command;
    }
    // What was kept is still there in the next run, as a window server keeps it.
    EXPECT_THAT(sim("modes 1").out, HasSubstr("*   3  1920 \u00d7 1080 HiDPI"));
    std::remove(trace().c_str());
    EXPECT_EQ(sim("rotate 1 270 --keep").status, 0);
    EXPECT_TRUE(traced("rotation").empty()); // already turned: nothing to do
}

TEST_F(ModeCommandsTest, BadWordsChangeNothing) {
    const std::pair<const char*, int> cases[] = {
        {"mode 1 9", 2}, {"mode 1 '800 x 600'", 2}, {"rotate 1 45", 2}, {"mode 2 2", 1}, {"rotate 2 180", 1},
    };
    for (auto [command, status] : cases) {
        std::remove(trace().c_str());
        auto r = sim(command);
        EXPECT_EQ(r.status, status) << command << "\n" << r.out;
        EXPECT_TRUE(traced("mode").empty() || traced("mode").front().starts_with("refused")) << command;
        EXPECT_TRUE(traced("rotation").empty()) << command;
    }
}

} // namespace
} // namespace brivio
