#include "platform/linux/DrmConnector.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/I2cSyscalls.h"
#include "platform/linux/SysfsFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivio {
namespace {

using namespace brivio::testing;
namespace fs = std::filesystem;

// A tree given on the command line may hold anything: none of it may hang or swamp a read.
TEST(SysfsFiles, ReadsTakeRegularFilesOnlyNeverWaitAndStopAtAFixedSize) {
    FakeSysfs sys;
    auto dir = sys.add({"card0-HDMI-A-1", "connected", "enabled", {}, {}, {}});
    const fs::path fifo = dir / "status", huge = dir / "enabled", device = dir / "i2c-dev";
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(device.c_str(), 0600), 0);
    // 64 MB without a line feed (sparse: nothing is written).
    FakeSysfs::write(huge, "");
    ASSERT_EQ(::truncate(huge.c_str(), 64 << 20), 0);

    EXPECT_FALSE(sysfs::readLine(fifo));
    EXPECT_TRUE(sysfs::readBytes(fifo, 128).empty());
    EXPECT_EQ(sysfs::openForWriting(fifo), -1);
    EXPECT_FALSE(sysfs::readLine(huge));
    EXPECT_EQ(sysfs::readBytes(huge, 1000).size(), 1000u);
    EXPECT_EQ(I2cSyscalls::system().open(device.string(), O_RDONLY), -1);

    auto connectors = DrmConnectorScanner(sys.root()).scan();
    ASSERT_EQ(connectors.size(), 1u);
    EXPECT_FALSE(connectors[0].connected);

    FakeSysfs::write(huge, "enabled");
    EXPECT_EQ(sysfs::readLine(huge), "enabled"); // a last line without its line feed still counts
}

} // namespace
} // namespace brivio
