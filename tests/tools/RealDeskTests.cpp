#include "CtlRunner.h"
#include "platform/linux/FakeSysfs.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace brivio {
namespace {

using ::testing::HasSubstr;

// brivioctl without an agent, as a whole process, on monitors behind /dev/i2c-5, 6 and 7: a fake
// sysfs tree, and the buses answered by the preload library, which logs every bus transaction.
struct RealDesk : ::testing::Test {
#if defined(__SANITIZE_ADDRESS__)
    // The preloaded buses would have to come before the sanitizer's runtime.
    static constexpr bool preloadWorks = false;
#else
    static constexpr bool preloadWorks = true;
#endif
    void SetUp() override {
        if (!preloadWorks)
            GTEST_SKIP() << "the preloaded buses come before the sanitizer's runtime";
    }
    RealDesk() {
        if (!preloadWorks)
            return;
        // In list order (by key): the ROG XG279Q on bus 6, the DELL U3219Q on 5, the HP 27vx on 7.
        const char* monitors[][2] = {{"card0-HDMI-A-1", "B21DE802A937.bin"},
                                     {"card0-DP-1", "0CE9433C3C68.bin"},
                                     {"card0-DP-2", "7A8790DE4C3F.bin"}};
        for (int i = 0; i < 3; ++i) {
            std::ifstream in(testing::sourceDir() + "/tests/data/edid/" + monitors[i][1], std::ios::binary);
            std::vector<std::uint8_t> edid{std::istreambuf_iterator<char>(in), {}};
            sys.add({monitors[i][0], "connected", "enabled", edid, 5 + i, {}});
            desk["buses"][std::to_string(5 + i)] = {{"features", {{"0x10", {50, 100}}, {"0x12", {75, 100}}}}};
        }
        desk["log"] = log;
        desk["state"] = work.path() + "/state.json";
        ::setenv("BRIVIO_FAKE_I2C_DESK", deskFile.c_str(), 1);
        ::setenv("LD_PRELOAD", FAKE_I2C_DESK_PATH, 1);
    }
    ~RealDesk() override {
        ::unsetenv("LD_PRELOAD");
        ::unsetenv("BRIVIO_FAKE_I2C_DESK");
    }
    testing::CtlResult ctl(const std::string& arguments) {
        std::ofstream(deskFile) << desk.dump();
        std::ofstream(log, std::ios::trunc).flush();
        return testing::runBrivioctl(
            "--sysfs " + sys.root().string() + " --config " + work.path() + "/config " + arguments, "", true);
    }
    // "write 6 37 51 82 01 10 ac", "read 6 37", ... as the buses saw them.
    std::vector<std::string> transactions() {
        std::vector<std::string> out;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);)
            out.push_back(line.substr(line.find(' ') + 1));
        return out;
    }
    long sets() {
        auto t = transactions();
        return std::count_if(t.begin(), t.end(), [](auto& l) { return l.find(" 37 51 84 03 ") != l.npos; });
    }

    testing::TempDir work;
    testing::FakeSysfs sys;
    nlohmann::json desk;
    std::string deskFile = work.path() + "/desk.json", log = work.path() + "/i2c.log";
};

TEST_F(RealDesk, CommandsAskOnlyTheDisplaysTheyNameAndOnlyWhatTheyNeed) {
    auto get = ctl("get 1 brightness");
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, "0.5\n");
    EXPECT_THAT(transactions(), ::testing::ElementsAre("write 6 37 51 82 01 10 ac",
                                                       "write 6 37 51 82 01 10 ac", "read 6 37"));

    auto set = ctl("set 1 brightness 40%");
    EXPECT_EQ(set.status, 0) << set.err;
    auto t = transactions();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t.back(), "write 6 37 51 84 03 10 00 28 80");
    EXPECT_EQ(ctl("get 1 brightness").out, "0.4\n");

    // Every display is read, none is written; levels read now are told from remembered ones.
    auto list = ctl("list --json");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(sets(), 0);
    auto displays = nlohmann::json::parse(list.out);
    ASSERT_EQ(displays.size(), 3u);
    for (auto& d : displays) {
        EXPECT_EQ(d["fresh"]["brightness"], true);
        EXPECT_EQ(d["fresh"]["contrast"], true);
    }

    // "all" in the help is taken; a bad word is refused before any bus is touched.
    auto all = ctl("get all contrast");
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 3);
    EXPECT_THAT(all.out, HasSubstr(" 0.75\n"));
    EXPECT_EQ(ctl("get all lightness").status, 2);
    EXPECT_TRUE(transactions().empty());
}

TEST_F(RealDesk, AMonitorThatDoesNotAnswerIsNamedAsSuch) {
    ctl("get 1 brightness"); // a level is remembered for the monitor on bus 6
    desk["buses"]["6"]["answers"] = false;
    desk["buses"]["5"]["replyDelayMs"] = 100;
    for (const char* command : {"get 1 brightness", "get 1 contrast", "set 1 brightness 10%"}) {
        auto r = ctl(command);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_TRUE(r.out.empty()) << command << ": " << r.out;
        EXPECT_THAT(r.err, HasSubstr("DDC communication failed: the monitor did not answer on /dev/i2c-6"))
            << command;
    }
    EXPECT_EQ(sets(), 0);

    // The doctor asks each monitor, as a probe would, without writing.
    auto doctor = ctl("doctor");
    EXPECT_THAT(doctor.out,
                HasSubstr("/dev/i2c-6 (ddc link): opens, but the monitor does not answer DDC/CI"));
    EXPECT_THAT(doctor.out, HasSubstr("/dev/i2c-5 (ddc link): answers DDC/CI (brightness 50 of 100), slowly: "
                                      "it needs 2× the usual waits"));
    EXPECT_THAT(doctor.out, HasSubstr("/dev/i2c-7 (ddc link): answers DDC/CI (brightness 50 of 100)\n"));
    EXPECT_EQ(sets(), 0);
}

TEST_F(RealDesk, AFifoInTheTreeIsNotWaitedOn) {
    auto status = sys.root() / "class" / "drm" / "card0-DP-2" / "status";
    std::filesystem::remove(status);
    ASSERT_EQ(::mkfifo(status.c_str(), 0600), 0);
    auto list = testing::runBrivioctl(
        "--sysfs " + sys.root().string() + " --config " + work.path() + "/config list", "", true);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2); // the third is not connected
}

} // namespace
} // namespace brivio
