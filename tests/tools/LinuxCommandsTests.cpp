#include "CtlRunner.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace brivio {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

testing::CtlResult brivioctl(const std::string& arguments) {
    return testing::runBrivioctl(arguments, "", true);
}

std::string edid(const std::string& file) {
    return (fs::path(testing::sourceDir()) / "tests" / "data" / "edid" / file).string();
}

TEST(LinuxCommands, EdidPrintsWhatTheParserReadsAndRejectsWhatIsNoEdid) {
    auto good = brivioctl("edid " + edid("B21DE802A937.bin") + " --json");
    ASSERT_EQ(good.status, 0) << good.err;
    auto j = nlohmann::json::parse(good.out);
    EXPECT_EQ(j, nlohmann::json::parse(R"({"pnpId": "DEL", "vendorId": 4268, "productId": 41268,
        "serial": 809913676, "name": "DELL U3219Q", "serialString": "7X2G413", "year": 2020, "week": 11,
        "version": "1.4", "blocks": 2, "checksumOk": true})"));

    auto bad = brivioctl("edid " + edid("damaged-checksum.bin") + " --json");
    EXPECT_EQ(bad.status, 0);
    EXPECT_EQ(nlohmann::json::parse(bad.out)["checksumOk"], false);
    EXPECT_EQ(nlohmann::json::parse(bad.out)["name"], "SHARP LCD");

    const std::pair<std::string, const char*> rejected[] = {
        {edid("damaged-truncated.bin"), "shorter than 128 bytes"},
        {edid("damaged-allff.bin"), "header missing"},
        {"no-such-thing", "no such file or connector"}};
    for (const auto& [source, why] : rejected) {
        auto r = brivioctl("edid " + source);
        EXPECT_EQ(r.status, 2) << source;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_THAT(r.err, HasSubstr(why));
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(LinuxCommands, DoctorAndEdidReadTheGivenSysfsTree) {
    testing::TempDir sys, dev;
    const fs::path root = sys.path(), card = root / "devices" / "pci0" / "gpu" / "drm" / "card0";
    fs::create_directories(root / "class" / "drm");
    auto connector = [&](const std::string& name, const std::string& status, const std::string& edidFile) {
        fs::create_directories(card / name);
        std::ofstream(card / name / "status") << status << "\n";
        std::ofstream(card / name / "enabled") << "enabled\n";
        if (edidFile.empty())
            std::ofstream(card / name / "edid").flush();
        else
            fs::copy_file(edid(edidFile), card / name / "edid");
        fs::create_symlink(card / name, root / "class" / "drm" / name);
    };
    connector("card0-HDMI-A-1", "connected", "B21DE802A937.bin");
    fs::create_directories(root / "devices" / "pci0" / "gpu" / "i2c-5");
    fs::create_symlink(root / "devices" / "pci0" / "gpu" / "i2c-5", card / "card0-HDMI-A-1" / "ddc");
    connector("card0-DP-1", "disconnected", "");

    auto doctor = brivioctl("--sysfs " + root.string() + " doctor --dev " + dev.path());
    EXPECT_EQ(doctor.status, 0) << doctor.err;
    EXPECT_THAT(doctor.out, HasSubstr("i2c-dev module: not loaded"));
    EXPECT_THAT(doctor.out, HasSubstr("card0-DP-1: nothing connected"));
    EXPECT_THAT(doctor.out, HasSubstr("card0-HDMI-A-1: DELL U3219Q\n  bus: " + dev.path() +
                                      "/i2c-5 (ddc link): the i2c-dev module is not loaded"));

    // Without --sim the desk is this tree: the monitor is listed; its bus cannot be opened here, and a
    // change says so.
    testing::TempDir config;
    auto list = brivioctl("--sysfs " + root.string() + " --config " + config.path() + " list");
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_THAT(list.out, HasSubstr("DELL U3219Q"));
    auto set = brivioctl("--sysfs " + root.string() + " --config " + config.path() + " set 1 brightness 50%");
    EXPECT_EQ(set.status, 1);
    EXPECT_THAT(set.err, HasSubstr("brivioctl: 'DELL U3219Q': DDC communication failed: /dev/i2c-5 cannot be "
                                   "opened: the i2c-dev module is not loaded"));
    testing::TempDir emptySys;
    auto none = brivioctl("--sysfs " + emptySys.path() + " --config " + config.path() + " list");
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.out, "No displays found.\n");

    auto byConnector = brivioctl("--sysfs " + root.string() + " edid HDMI-A-1 --json");
    ASSERT_EQ(byConnector.status, 0) << byConnector.err;
    EXPECT_EQ(nlohmann::json::parse(byConnector.out)["serial"], 809913676);
    auto empty = brivioctl("--sysfs " + root.string() + " edid card0-DP-1");
    EXPECT_EQ(empty.status, 2);
    EXPECT_THAT(empty.err, HasSubstr("no monitor is connected"));
}

} // namespace
} // namespace brivio
