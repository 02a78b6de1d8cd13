#include "platform/linux/DrmHotplug.h"
#include "platform/linux/FakeFdWatcher.h"

#include <deque>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using brivio::testing::FakeFdWatcher;

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
    int fd() const override { return 42; }
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
        watcher.ready(42);
        EXPECT_EQ(rescans, 1);
        EXPECT_TRUE(events->pending.empty()); // drained, or the level-triggered fd fires forever

        events->pending = {{"change", "card0", false}, {"add", "renderD128", false}};
        watcher.ready(42);
        EXPECT_EQ(rescans, 1);
    }
    EXPECT_TRUE(watcher.callbacks.empty());
}

} // namespace
} // namespace brivio
