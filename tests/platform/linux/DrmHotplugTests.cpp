#include "base/VirtualLoop.h"
#include "platform/linux/DrmHotplug.h"
#include "platform/linux/EdidData.h"
#include "platform/linux/FakeFdWatcher.h"
#include "platform/linux/FakeSysfs.h"
#include "platform/linux/LinuxPlatform.h"

#include <deque>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using namespace brivio::testing;

TEST(DrmHotplug, OnlyConnectorEventsCount) {
    const std::pair<DrmUevent, bool> cases[] = {
        {{"change", "card0", true}, true},    // a connector's status changed
        {{"change", "card0", false}, false},  // a lease or property change
        {{"add", "card1-DP-3", false}, true}, // an MST connector appeared
        {{"remove", "card1-DP-3", false}, true},
        {{"add", "renderD129", false}, false}, // render nodes carry no monitor
        {{"bind", "card0", false}, false},
    };
    for (const auto& [event, counts] : cases)
        EXPECT_EQ(isConnectorChange(event), counts) << event.action << " " << event.sysname;
}

struct FakeSource final : UeventSource {
    int fd() const override { return 4242; } // no real fd of the process
    std::optional<DrmUevent> receive() override {
        if (pending.empty())
            return std::nullopt;
        auto e = pending.front();
        pending.pop_front();
        return e;
    }
    std::deque<DrmUevent> pending;
};

TEST(DrmHotplug, ABurstOfEventsIsOneRescanAndTheFdIsReleased) {
    FakeFdWatcher watcher;
    auto source = std::make_unique<FakeSource>();
    auto* events = source.get();
    int rescans = 0;
    {
        DrmHotplug hotplug(watcher, std::move(source), [&] { ++rescans; });
        ASSERT_TRUE(hotplug.watching());
        events->pending = {
            {"change", "card0", true}, {"add", "card0-DP-2", false}, {"change", "card0", true}};
        watcher.ready(4242);
        EXPECT_EQ(rescans, 1);
        EXPECT_TRUE(events->pending.empty()); // drained, or the level-triggered fd fires forever

        events->pending = {{"change", "card0", false}, {"add", "renderD128", false}};
        watcher.ready(4242);
        EXPECT_EQ(rescans, 1);
    }
    EXPECT_TRUE(watcher.callbacks.empty());
}

TEST(DrmHotplug, APluggedMonitorReachesTheReconfigurationCallbacks) {
    FakeSysfs sys;
    sys.add({"card0-HDMI-A-1", "connected", "enabled", sharedEdid("B21DE802A937.bin"), {}, {}});
    FakeSource* events = nullptr;
    LinuxPlatformOptions options;
    options.sysfsRoot = sys.root();
    options.useSystemBus = false;
    options.useSessionBus = false;
    options.useX11 = false;
    options.useWayland = false;
    options.uevents = [&] {
        auto source = std::make_unique<FakeSource>();
        events = source.get();
        return source;
    };
    VirtualLoop loop;
    FakeFdWatcher watcher;
    LinuxPlatform linux(loop, &watcher, options);
    ASSERT_TRUE(events);
    std::vector<std::uint32_t> flags;
    linux.platform().windowServer.registerReconfigurationCallback(
        [&](DisplayNumber, std::uint32_t f) { flags.push_back(f); });

    sys.add({"card0-DP-1", "connected", "enabled", sharedEdid("0CE9433C3C68.bin"), {}, {}});
    events->pending = {{"change", "card0", true}};
    watcher.ready(4242);
    EXPECT_EQ(flags, (std::vector<std::uint32_t>{ReconfigurationFlags::add | ReconfigurationFlags::enabled}));

    flags.clear();
    sys.remove("card0-HDMI-A-1");
    events->pending = {{"change", "card0", true}};
    watcher.ready(4242);
    EXPECT_EQ(flags,
              (std::vector<std::uint32_t>{ReconfigurationFlags::remove | ReconfigurationFlags::disabled}));
}

} // namespace
} // namespace brivio
