#include "base/Log.h"
#include "base/TaskTable.h"
#include "base/VirtualLoop.h"
#include "base/WeakPtr.h"

#include <gtest/gtest.h>
#include <vector>

namespace brivio {
namespace {

struct Owner {
    std::vector<int> steps;
    WeakPtrFactory<Owner> weak{this};
};

Task<int> twice(int v) {
    co_await sleep(10ms);
    co_return v * 2;
}

Task<void> stepper(WeakPtr<Owner> owner, int count) {
    for (int i = 0; i < count; ++i) {
        co_await sleep(100ms);
        owner->steps.push_back(i);
    }
}

TEST(Task, AwaitsChildrenAndSleepsInVirtualTime) {
    VirtualLoop loop;
    int result = 0;
    auto body = [&]() -> Task<void> { result = co_await twice(21) + co_await twice(1); };
    spawn(loop, body());
    loop.runUntilIdle();
    EXPECT_EQ(result, 0);
    loop.advance(10ms);
    EXPECT_EQ(result, 0);
    loop.advance(10ms);
    EXPECT_EQ(result, 44);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST(Task, CancellationTakesEffectAfterEachSuspension) {
    VirtualLoop loop;
    Owner owner;
    for (int cancelAfter = 0; cancelAfter < 3; ++cancelAfter) {
        owner.steps.clear();
        TaskHandle handle = spawn(loop, stepper(owner.weak.weak(), 3), owner.weak.token());
        loop.runUntilIdle();
        loop.advance(std::chrono::milliseconds(100 * cancelAfter + 50));
        handle.cancel();
        loop.runUntilIdle();
        EXPECT_FALSE(handle.running());
        loop.advance(1s);
        EXPECT_EQ(owner.steps.size(), static_cast<size_t>(cancelAfter)) << cancelAfter;
        // The cancelled sleep does not linger on the loop.
        EXPECT_EQ(loop.pendingCount(), 0u);
    }
}

TEST(Task, CancelledBeforeStartNeverRuns) {
    VirtualLoop loop;
    bool ran = false;
    auto body = [&]() -> Task<void> {
        ran = true;
        co_return;
    };
    TaskHandle handle = spawn(loop, body());
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_FALSE(ran);
    EXPECT_FALSE(handle.running());
}

TEST(Task, EndsQuietlyWhenOwnerIsGone) {
    VirtualLoop loop;
    CaptureLog log;
    auto owner = std::make_unique<Owner>();
    TaskHandle handle = spawn(loop, stepper(owner->weak.weak(), 5), owner->weak.token());
    loop.advance(150ms);
    EXPECT_EQ(owner->steps.size(), 1u);
    owner.reset();
    loop.advance(1s); // would crash on use-after-free if the task went on
    EXPECT_FALSE(handle.running());
    EXPECT_TRUE(log.lines().empty());
}

TEST(Task, ErrorsReachTheAwaiterAndUnhandledOnesAreLogged) {
    VirtualLoop loop;
    CaptureLog log;
    auto failing = []() -> Task<int> {
        co_await sleep(1ms);
        throw std::runtime_error("bus gone");
    };
    std::string caught;
    auto body = [&]() -> Task<void> {
        try {
            co_await failing();
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        co_await failing();
    };
    spawn(loop, body());
    loop.advance(10ms);
    EXPECT_EQ(caught, "bus gone");
    EXPECT_TRUE(log.contains("Task ended with an error: bus gone"));
}

TEST(TaskTable, StartingCancelsThePredecessorOfTheSameSlotOnly) {
    VirtualLoop loop;
    Owner a, b;
    TaskTable table(loop);
    table.start("v16-p48-s5", "animate", stepper(a.weak.weak(), 10), a.weak.token());
    table.start("v16-p48-s6", "animate", stepper(b.weak.weak(), 10), b.weak.token());
    loop.advance(250ms);
    Owner c;
    table.start("v16-p48-s5", "animate", stepper(c.weak.weak(), 1), c.weak.token());
    loop.advance(1s);
    EXPECT_EQ(a.steps.size(), 2u);
    EXPECT_EQ(c.steps.size(), 1u);
    EXPECT_EQ(b.steps.size(), 10u);
    EXPECT_EQ(table.runningCount(), 0u);
}

TEST(TaskTable, DestructionCancelsEverything) {
    VirtualLoop loop;
    Owner a;
    {
        TaskTable table(loop);
        table.start("k", "poll", stepper(a.weak.weak(), 100), a.weak.token());
        loop.advance(150ms);
    }
    loop.advance(1s);
    EXPECT_EQ(a.steps.size(), 1u);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST(VirtualLoop, RunsTimersInOrderAndSettlesIgnoringBackgroundWork) {
    VirtualLoop loop;
    std::vector<int> order;
    loop.postAfter(20ms, [&] { order.push_back(2); });
    loop.postAfter(10ms, [&] { order.push_back(1); });
    loop.postAfter(20ms, [&] { order.push_back(3); });
    TimerId cancelled = loop.postAfter(15ms, [&] { order.push_back(99); });
    loop.cancel(cancelled);
    std::function<void()> poll = [&] { loop.postAfter(1500ms, poll, TimerRole::background); };
    poll();
    EXPECT_TRUE(loop.runUntilSettled(10s));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(loop.now().time_since_epoch(), 20ms);
    loop.advance(3s);
    EXPECT_EQ(loop.pendingCount(), 1u);
}

} // namespace
} // namespace brivio

namespace brivio {
namespace {

TEST(Task, SleepThroughKeepsItsWholeWaitAndTheAwaiterStillNoticesCancellation) {
    VirtualLoop loop;
    std::vector<long long> times;
    auto bus = [&]() -> Task<void> {
        co_await sleepThrough(50ms);
        times.push_back(toMillis(loop.now().time_since_epoch()));
        co_await sleepThrough(50ms);
        times.push_back(toMillis(loop.now().time_since_epoch()));
    };
    bool after = false;
    auto body = [&]() -> Task<void> {
        co_await bus();
        after = true;
    };
    TaskHandle handle = spawn(loop, body());
    loop.advance(10ms);
    handle.cancel();
    loop.advance(1s);
    EXPECT_EQ(times, (std::vector<long long>{50, 100}));
    EXPECT_FALSE(after);
    EXPECT_FALSE(handle.running());
}

} // namespace
} // namespace brivio
