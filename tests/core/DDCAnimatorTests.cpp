#include "base/VirtualLoop.h"
#include "core/DDCAnimator.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

struct AnimatorTest : ::testing::Test {
    VirtualLoop loop;
    std::vector<double> values;
    std::vector<long long> times; // ms
    Duration writeTime{};         // how long each write takes

    std::shared_ptr<DDCAnimator> make(double value, std::weak_ptr<void> owner = {}) {
        auto write = [this](double v) -> Task<void> {
            values.push_back(v);
            times.push_back(toMillis(loop.now() - TimePoint{}));
            if (writeTime > Duration::zero())
                co_await sleep(writeTime);
        };
        return DDCAnimator::create(loop, value, write, owner);
    }
    void expectValues(std::size_t from, const std::vector<double>& expected) {
        ASSERT_GE(values.size(), from + expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_NEAR(values[from + i], expected[i], 5e-5) << from + i;
    }
};

TEST_F(AnimatorTest, StepsShrinkTowardsTheTargetAndEndExactlyOnIt) {
    const std::tuple<double, double, std::vector<double>> cases[] = {
        {0.5, 0.53, {0.51, 0.519, 0.524, 0.5267, 0.53}},
        {0.5, 0.52, {0.509, 0.514, 0.5167, 0.52}},
        {0.5, 0.5, {0.5}},
    };
    for (auto& [from, to, expected] : cases) {
        values.clear();
        auto animator = make(from);
        animator->setTarget(to);
        loop.runUntilSettled(10s);
        EXPECT_EQ(values.size(), expected.size());
        expectValues(0, expected);
        EXPECT_EQ(values.back(), to);
        EXPECT_FALSE(animator->running());
    }
}

TEST_F(AnimatorTest, LongMoveIsPacedFromTheStartOfEachWrite) {
    for (auto [took, gap] : {std::pair{0ms, 40}, std::pair{30ms, 40}, std::pair{55ms, 55}}) {
        values.clear();
        times.clear();
        writeTime = took;
        auto animator = make(0.2);
        animator->setTarget(0.8);
        loop.runUntilSettled(10s);
        ASSERT_EQ(values.size(), 24u);
        expectValues(0, {0.278, 0.3459, 0.4049, 0.4563, 0.5009});
        expectValues(20, {0.7857, 0.7921, 0.7957, 0.8});
        for (std::size_t i = 1; i < times.size(); ++i)
            EXPECT_EQ(times[i] - times[i - 1], gap) << i;
    }
}

TEST_F(AnimatorTest, NewTargetTurnsTheRunningLoopAround) {
    auto animator = make(0.2);
    animator->setTarget(0.8);
    loop.advance(150ms);
    const auto firstLoop = *animator->task();
    animator->setTarget(0.3);
    EXPECT_TRUE(*animator->task() == firstLoop);
    loop.runUntilSettled(10s);
    EXPECT_EQ(values.back(), 0.3);
    EXPECT_LT(*std::max_element(values.begin(), values.end()), 0.6);
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 40);
}

TEST_F(AnimatorTest, TargetSetDuringTheFinalWriteIsStillReached) {
    writeTime = 10ms;
    auto animator = make(0.5);
    animator->setTarget(0.5);
    loop.advance(5ms); // the single exact write is in flight
    animator->setTarget(0.52);
    loop.runUntilSettled(10s);
    EXPECT_EQ(values.back(), 0.52);
    EXPECT_FALSE(animator->running());
}

TEST_F(AnimatorTest, CancelOrAVanishedOwnerStopsAllWrites) {
    auto owner = std::make_shared<int>(0);
    for (bool viaOwner : {false, true}) {
        values.clear();
        auto animator = make(0.2, owner);
        animator->setTarget(0.8);
        loop.advance(50ms); // in the pacing sleep after the second write
        viaOwner ? owner.reset() : animator->cancel();
        loop.runUntilSettled(10s);
        EXPECT_EQ(values.size(), 2u);
        EXPECT_FALSE(animator->running());
        EXPECT_EQ(loop.pendingCount(), 0u);
    }
}

TEST_F(AnimatorTest, RunningLoopKeepsTheAnimatorAlive) {
    auto animator = make(0.2);
    std::weak_ptr<DDCAnimator> alive = animator;
    animator->setTarget(0.8);
    animator.reset();
    loop.runUntilSettled(10s);
    EXPECT_EQ(values.back(), 0.8);
    EXPECT_TRUE(alive.expired());
    // A cancelled loop never clears the loop that replaced it.
    animator = make(0.2);
    animator->setTarget(0.8);
    loop.advance(50ms);
    animator->cancel();
    times.clear();
    animator->setTarget(0.3);
    loop.advance(45ms);
    animator->setTarget(0.31);
    loop.runUntilSettled(10s);
    EXPECT_EQ(values.back(), 0.31);
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 40);
}

} // namespace
} // namespace brivio
