#include "base/RealLoop.h"
#include "platform/linux/LinuxWallClock.h"
#include "platform/linux/SystemBus.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

namespace brivio {
namespace {

namespace fs = std::filesystem;
using brivio::testing::TempDir;

TEST(LinuxWallClock, TimeZoneFromTzThenTheLocaltimeLinkThenTheTimezoneFile) {
    TempDir etc;
    const fs::path dir = etc.path();
    EXPECT_EQ(resolveTimeZone(std::nullopt, dir), "UTC");
    std::ofstream(dir / "timezone") << "America/Chicago\n";
    EXPECT_EQ(resolveTimeZone(std::nullopt, dir), "America/Chicago");
    fs::create_symlink("../usr/share/zoneinfo/posix/Europe/Berlin", dir / "localtime");

    const std::pair<std::optional<std::string>, const char*> cases[] = {
        {std::nullopt, "Europe/Berlin"},
        {"", "Europe/Berlin"},
        {":", "Europe/Berlin"},
        {"Asia/Tokyo", "Asia/Tokyo"},
        {":Pacific/Auckland", "Pacific/Auckland"},
        {"/usr/share/zoneinfo/right/Africa/Lagos", "Africa/Lagos"},
        {":/etc/zones/odd", "Europe/Berlin"}, // a file outside a zone folder names nothing
    };
    for (const auto& [tz, zone] : cases)
        EXPECT_EQ(resolveTimeZone(tz, dir), zone) << tz.value_or("(unset)");
}

// Real file-system and bus events: a real loop, run until the signal comes or three seconds pass.
void runUntil(RealLoop& loop, Signal<>& signal) {
    auto sub = signal.subscribe([&] { loop.quit(); });
    auto stop = loop.postAfter(std::chrono::seconds(3), [&] { loop.quit(); });
    loop.run();
    loop.cancel(stop);
}

TEST(LinuxWallClock, ANewLocaltimeLinkIsAZoneChange) {
    if (std::getenv("TZ"))
        GTEST_SKIP() << "TZ decides the zone here";
    TempDir etc;
    const fs::path dir = etc.path();
    fs::create_symlink("/usr/share/zoneinfo/Europe/Berlin", dir / "localtime");
    RealLoop loop;
    LinuxWallClock clock(&loop, nullptr, dir);
    ASSERT_EQ(clock.timeZone(), "Europe/Berlin");
    bool changed = false;
    auto sub = clock.timeZoneChanged().subscribe([&] { changed = true; });
    // As the system's tools do it: a new link moved over the old one.
    fs::create_symlink("/usr/share/zoneinfo/Asia/Tokyo", dir / "localtime.new");
    fs::rename(dir / "localtime.new", dir / "localtime");
    runUntil(loop, clock.timeZoneChanged());
    EXPECT_TRUE(changed);
    EXPECT_EQ(clock.timeZone(), "Asia/Tokyo");
}

#ifdef BRIVIO_HAVE_SDBUS
TEST(LinuxWallClock, WakesWhenTheLoginManagerSaysSleepEnded) {
    auto bus = brivio::testing::PrivateBus::start();
    if (!bus)
        GTEST_SKIP() << "no dbus-daemon to start a private bus";
    auto manager = sdbus::createSessionBusConnectionWithAddress(bus->address());
    manager->requestName("org.freedesktop.login1");
    auto object = sdbus::createObject(*manager, "/org/freedesktop/login1");
    object->registerSignal("PrepareForSleep")
        .onInterface("org.freedesktop.login1.Manager")
        .withParameters<bool>();
    object->finishRegistration();

    RealLoop loop;
    SystemBus system(bus->address());
    TempDir etc;
    LinuxWallClock clock(&loop, &system, etc.path());
    int wakes = 0;
    auto sub = clock.didWake().subscribe([&] { ++wakes; });
    object->emitSignal("PrepareForSleep").onInterface("org.freedesktop.login1.Manager").withArguments(true);
    object->emitSignal("PrepareForSleep").onInterface("org.freedesktop.login1.Manager").withArguments(false);
    runUntil(loop, clock.didWake());
    EXPECT_EQ(wakes, 1); // going to sleep is no wake-up
}
#endif

} // namespace
} // namespace brivio
