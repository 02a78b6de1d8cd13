#include "base/Log.h"
#include "platform/linux/BacklightControl.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/SysfsFiles.h"
#include "platform/linux/SystemBus.h"
#include "support/PrivateBus.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

namespace brivio {
namespace {

using namespace brivio::testing;

TEST(BacklightControl, RawLevelsRoundAndNeverGoBlack) {
    const std::tuple<double, std::uint64_t, std::uint64_t> cases[] = {
        {0.5, 96000, 48000}, {0.0, 100, 1}, {1.2, 100, 100}, {-1, 255, 1},
        {NAN, 10, 1},        {0.26, 7, 2},  {0.5, 0, 0}};
    for (auto [level, max, raw] : cases)
        EXPECT_EQ(BacklightControl::rawLevel(level, max), raw) << level << " of " << max;
}

TEST(BacklightControl, WritesTheFileElseAsksTheSessionAndOnlyForThePanel) {
    FakeSysfs sys;
    sys.add({"card0-eDP-1", "connected", "enabled", sharedEdid("C8D6E1541720.bin"), {}, {}});
    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid("B21DE802A937.bin"), 5, {}});
    auto dir = sys.addBacklight("intel_backlight", "raw", 19200, 96000, "card0-eDP-1");
    LinuxDisplays displays{DrmConnectorScanner(sys.root())};

    struct Case {
        bool fileWritable;
        bool sessionAnswers;
        bool ok;
        const char* sessionCall;
    };
    const Case cases[] = {{true, true, true, ""},
                          {false, true, true, "intel_backlight=24000"},
                          {false, false, false, "intel_backlight=24000"}};
    for (const auto& c : cases) {
        std::string calls;
        BacklightControl control(
            displays, BacklightScanner(sys.root()),
            [&](const std::string& device, std::uint32_t raw) {
                calls += device + "=" + std::to_string(raw);
                return c.sessionAnswers;
            },
            [&](const std::filesystem::path& file, std::uint64_t raw) {
                return c.fileWritable && BacklightControl::writeSysfsNumber(file, raw);
            });
        auto symbols = control.symbols();
        EXPECT_EQ(symbols.setBrightness(1, 0.25f) == 0, c.ok);
        EXPECT_EQ(calls, c.sessionCall);
        EXPECT_EQ(sysfs::readNumber(dir / "brightness"), c.fileWritable ? 24000u : 19200u);
        float b = -1;
        ASSERT_EQ(symbols.getBrightness(1, b), 0);
        EXPECT_FLOAT_EQ(b, c.fileWritable ? 0.25f : 0.2f);
        // The external monitor's brightness is DDC/CI's business.
        EXPECT_NE(symbols.getBrightness(2, b), 0);
        EXPECT_NE(symbols.setBrightness(2, 0.5f), 0);
        FakeSysfs::write(dir / "brightness", "19200\n");
    }
}

#ifdef BRIVIO_HAVE_SDBUS
// logind's one method that the backlight needs, on the test's own bus.
struct FakeLogind {
    explicit FakeLogind(const std::string& address)
        : connection(sdbus::createSessionBusConnectionWithAddress(address)) {
        connection->requestName("org.freedesktop.login1");
        object = sdbus::createObject(*connection, "/org/freedesktop/login1/session/auto");
        object->registerMethod("SetBrightness")
            .onInterface("org.freedesktop.login1.Session")
            .implementedAs(
                [this](const std::string& subsystem, const std::string& name, std::uint32_t value) {
                    if (name == "refused")
                        throw sdbus::Error("org.freedesktop.DBus.Error.AccessDenied", "not your seat");
                    std::lock_guard lock(mutex);
                    calls.push_back(subsystem + "/" + name + "=" + std::to_string(value));
                });
        object->finishRegistration();
        connection->enterEventLoopAsync();
    }
    ~FakeLogind() { connection->leaveEventLoop(); }
    std::vector<std::string> taken() {
        std::lock_guard lock(mutex);
        return calls;
    }
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IObject> object;
    std::mutex mutex;
    std::vector<std::string> calls;
};

TEST(LogindBrightness, CallsTheSessionAndReportsRefusalsAndAMissingBusOnce) {
    auto bus = PrivateBus::start();
    if (!bus)
        GTEST_SKIP() << "no dbus-daemon to start a private bus";
    FakeLogind logind(bus->address());
    SystemBus system(bus->address());
    auto set = logindSessionBrightness(system);
    CaptureLog log;
    EXPECT_TRUE(set("intel_backlight", 480));
    EXPECT_FALSE(set("refused", 1));
    EXPECT_FALSE(set("refused", 2));
    EXPECT_THAT(logind.taken(), ::testing::ElementsAre("backlight/intel_backlight=480"));
    EXPECT_EQ(
        log.count(
            "Backlight: the login session did not set refused (org.freedesktop.DBus.Error.AccessDenied"),
        1u);

    SystemBus absent(std::string("unix:path=/nonexistent/brivio-test-bus"));
    auto none = logindSessionBrightness(absent);
    EXPECT_FALSE(none("intel_backlight", 1));
    EXPECT_FALSE(none("intel_backlight", 2));
    EXPECT_EQ(log.count("D-Bus: the system bus is not running"), 1u);
}
#endif

} // namespace
} // namespace brivio
