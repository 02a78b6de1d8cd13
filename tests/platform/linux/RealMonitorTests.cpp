#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "core/DisplayController.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeI2c.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/MemoryKeyValueStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace brivio {
namespace {

using namespace brivio::testing;
using ::testing::ElementsAre;

const std::string asusMonitor = "0CE9433C3C68.bin"; // ROG XG279Q: binary serial 0x01010101
const std::string dellMonitor = "B21DE802A937.bin";

// The same model with another serial-number text: what a second unit off the line looks like.
std::vector<std::uint8_t> twinOf(std::vector<std::uint8_t> edid, const std::string& serialText) {
    for (int slot = 0; slot < 4; ++slot)
        if (std::size_t at = 54 + 18 * slot; edid[at] == 0 && edid[at + 1] == 0 && edid[at + 3] == 0xFF)
            setDescriptor(edid, slot, 0xFF, serialText + "\n");
    return edid;
}

// The controller on the Linux platform over fake connectors and buses; started and stopped like the
// agent, with the settings kept in between.
struct RealMonitors : ::testing::Test {
    RealMonitors() {
        i2c.now = [this] { return loop.now(); };
    }
    ~RealMonitors() override { stop(); }

    void start() {
        LinuxPlatformOptions options;
        options.sysfsRoot = sys.root();
        options.useSystemBus = false;
        options.useX11 = false;
        options.useSessionBus = false;
        options.syscalls = i2c.syscalls();
        linux = std::make_unique<LinuxPlatform>(loop, nullptr, options);
        prefs = std::make_unique<BrivioPreferences>(store);
        controller = std::make_unique<DisplayController>(linux->platform(), *prefs);
        settle();
    }
    void stop() {
        if (controller)
            controller->shutdown();
        settle();
        controller.reset();
        prefs.reset();
        linux.reset();
    }
    void settle() { EXPECT_TRUE(loop.runUntilSettled(std::chrono::minutes(1))); }
    const ManagedDisplay& on(const std::string& connector) {
        for (const auto& d : linux->displays().displays())
            if (d.connector.name == connector)
                if (auto* managed = controller->displayWithID(d.number))
                    return *managed;
        throw std::runtime_error("no display on " + connector);
    }
    std::string key(const std::string& connector) { return on(connector).identity.stableKey(); }

    CaptureLog log;
    FakeSysfs sys;
    FakeI2c i2c;
    VirtualLoop loop;
    MemoryKeyValueStore store;
    std::unique_ptr<LinuxPlatform> linux;
    std::unique_ptr<BrivioPreferences> prefs;
    std::unique_ptr<DisplayController> controller;
};

TEST_F(RealMonitors, TwinsWithPlaceholderSerialsAreTwoDisplaysEachOnItsOwnBus) {
    // The first twin does not answer DDC/CI (switched off in its menu); the second does, on its bus.
    sys.add(
        {"card0-HDMI-A-1", "connected", "enabled", twinOf(sharedEdid(asusMonitor), "L4LMQS056025"), 5, {}});
    sys.add({"card0-DP-1", "connected", "enabled", twinOf(sharedEdid(asusMonitor), "L4LMQS056031"), 6, {}});
    i2c.buses[5] = {};
    i2c.buses[6].features = {{0x10, {30, 100}}};
    start();

    const std::string first = key("card0-HDMI-A-1"), second = key("card0-DP-1");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.find("s16843009"), std::string::npos); // the placeholder names no unit
    EXPECT_FALSE(on("card0-HDMI-A-1").capabilities.supportsHardwareBrightness);
    EXPECT_EQ(controller->ddcDriver().channelProblem(first), DDCChannelProblem::noAnswer);
    EXPECT_TRUE(on("card0-DP-1").capabilities.supportsHardwareBrightness);
    EXPECT_EQ(prefs->brightnessByDisplay().at(second), 0.3);

    // The second twin's slider reaches the second twin only.
    i2c.events.clear();
    controller->applyBrightness(on("card0-DP-1"), 0.8, false);
    settle();
    EXPECT_THAT(i2c.busesWritten(), ElementsAre(6));

    // Its key is its own: the same without the other twin, after a restart.
    stop();
    sys.remove("card0-HDMI-A-1");
    start();
    EXPECT_EQ(key("card0-DP-1"), second);
}

TEST_F(RealMonitors, SlowBusyAndListValuedMonitorsAnswer) {
    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}});
    sys.add({"card0-DP-1", "connected", "enabled", sharedEdid(asusMonitor), 6, {}});
    // Needs 100 ms before its reply.
    i2c.buses[5].features = {{0x10, {50, 100}}};
    i2c.buses[5].replyDelay = std::chrono::milliseconds(100);
    // Refuses its first read, and reports input select with a maximum of 0.
    i2c.buses[6].features = {{0x10, {70, 100}}, {0x60, {0x0F, 0}}};
    i2c.buses[6].refuseReads = 1;
    start();

    const std::string slow = key("card0-HDMI-A-1"), busy = key("card0-DP-1");
    EXPECT_TRUE(on("card0-HDMI-A-1").capabilities.supportsHardwareBrightness);
    EXPECT_TRUE(on("card0-DP-1").capabilities.supportsHardwareBrightness);
    EXPECT_TRUE(on("card0-DP-1").capabilities.supportsInputSwitch);
    EXPECT_EQ(controller->ddcDriver().cachedInputSource(busy), 0x0F);
    EXPECT_EQ(prefs->ddcReplyWaitByDisplay().at(slow), 2);
    EXPECT_EQ(prefs->ddcReplyWaitByDisplay().count(busy), 0u);

    // Next start, the slow monitor is asked with the waits that worked: its first reply answers.
    stop();
    i2c.events.clear();
    start();
    auto events = i2c.ddcEvents(5);
    ASSERT_GE(events.size(), 4u);
    EXPECT_THAT(std::vector(events.begin(), events.begin() + 4),
                ElementsAre("write", "write", "read", "write"));
    EXPECT_TRUE(on("card0-HDMI-A-1").capabilities.supportsHardwareBrightness);
}

// Counts the files opened in watched folders, by file name.
class OpenCounter {
public:
    OpenCounter() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~OpenCounter() { ::close(fd_); }
    void watch(const std::filesystem::path& dir) { inotify_add_watch(fd_, dir.c_str(), IN_OPEN); }
    std::map<std::string, int> take() {
        alignas(inotify_event) char buffer[64 * 1024];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0)
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if (event->len)
                    ++counts_[event->name];
                p += sizeof(inotify_event) + event->len;
            }
        return counts_;
    }

private:
    int fd_;
    std::map<std::string, int> counts_;
};

TEST_F(RealMonitors, EveryEnumerationReadsEachConnectorOnce) {
    OpenCounter opens;
    constexpr int docked = 100;
    for (int i = 0; i < docked; ++i)
        opens.watch(sys.add({"card1-DP-" + std::to_string(i), "disconnected", "disabled", {}, {}, {}}));
    opens.watch(sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid(dellMonitor), 5, {}}));
    opens.watch(sys.add({"card0-DP-1", "connected", "enabled", sharedEdid(asusMonitor), 6, {}}));
    i2c.buses[5].features = {{0x10, {50, 100}}};
    i2c.buses[6].features = {{0x10, {50, 100}}};
    start(); // a scan when the platform comes up serves the first enumeration
    controller->scheduleImmediateReenumerate(true);
    loop.advance(std::chrono::seconds(12)); // the enumeration and the two delayed re-probes
    settle();
    EXPECT_EQ(controller->enumerationCount(), 4u);
    auto counts = opens.take();
    const int connectors = docked + 2;
    EXPECT_LE(counts["status"], 4 * connectors);
    EXPECT_LE(counts["edid"], 4 * connectors);
}

} // namespace
} // namespace brivio
