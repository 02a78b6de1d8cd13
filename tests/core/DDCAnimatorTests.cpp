#include "base/VirtualLoop.h"
#include "core/DDCAnimator.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

struct Write {
    double value;
    long long at; // ms
};

struct AnimatorTest : ::testing::Test {
    VirtualLoop loop;
    std::vector<Write> writes;
    Duration writeTime = Duration::zero(); // how long each write takes

    std::shared_ptr<DDCAnimator> make(double value) {
        return DDCAnimator::create(loop, value, [this](double v) -> Task<void> {
            writes.push_back({v, toMillis(loop.now() - TimePoint{})});
            if (writeTime > Duration::zero())
                co_await sleep(writeTime);
        });
    }
    std::vector<double> values() const {
        std::vector<double> out;
        for (auto& w : writes)
            out.push_back(w.value);
        return out;
    }
};

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 5e-5) << i;
}

TEST_F(AnimatorTest, StepsShrinkTowardsTheTargetAndEndExactlyOnIt) {
    struct Case {
        double from, to;
        std::vector<double> expected;
    } cases[] = {
        {0.5, 0.53, {0.51, 0.519, 0.524, 0.5267, 0.53}},
        {0.5, 0.52, {0.509, 0.514, 0.5167, 0.52}},
        {0.5, 0.5, {0.5}},
    };
    for (auto& c : cases) {
        writes.clear();
        auto animator = make(c.from);
        animator->setTarget(c.to);
        loop.runUntilSettled(10s);
        expectNear(values(), c.expected);
        EXPECT_EQ(writes.back().value, c.to);
        EXPECT_FALSE(animator->running());
    }
}

TEST_F(AnimatorTest, LongMoveIsPacedFortyMillisecondsApart) {
    auto animator = make(0.2);
    animator->setTarget(0.8);
    loop.runUntilSettled(10s);
    ASSERT_EQ(writes.size(), 24u);
    const auto v = values();
    expectNear({v.begin(), v.begin() + 5}, {0.278, 0.3459, 0.4049, 0.4563, 0.5009});
    expectNear({v.end() - 4, v.end()}, {0.7857, 0.7921, 0.7957, 0.8});
    for (std::size_t i = 1; i < writes.size(); ++i)
        EXPECT_EQ(writes[i].at - writes[i - 1].at, 40) << i;
}

TEST_F(AnimatorTest, PacingCountsFromTheStartOfTheWrite) {
    for (auto [took, gap] : {std::pair{30ms, 40}, std::pair{55ms, 55}}) {
        writes.clear();
        writeTime = took;
        auto animator = make(0.2);
        animator->setTarget(0.8);
        loop.advance(200ms);
        ASSERT_GE(writes.size(), 3u);
        EXPECT_EQ(writes[2].at - writes[1].at, gap);
        animator->cancel();
        loop.runUntilSettled(1s);
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
    EXPECT_EQ(writes.back().value, 0.3);
    for (auto& w : writes)
        EXPECT_LT(w.value, 0.6);
    for (std::size_t i = 1; i < writes.size(); ++i)
        EXPECT_GE(writes[i].at - writes[i - 1].at, 40);
}

TEST_F(AnimatorTest, TargetSetDuringTheFinalWriteIsStillReached) {
    writeTime = 10ms;
    auto animator = make(0.5);
    animator->setTarget(0.5);
    loop.advance(5ms); // the single exact write is in flight
    animator->setTarget(0.52);
    loop.runUntilSettled(10s);
    EXPECT_EQ(writes.back().value, 0.52);
    EXPECT_FALSE(animator->running());
}

TEST_F(AnimatorTest, CancelDuringPacingStopsAllWrites) {
    auto animator = make(0.2);
    animator->setTarget(0.8);
    loop.advance(90ms);
    const auto count = writes.size();
    animator->cancel();
    EXPECT_FALSE(animator->running());
    loop.runUntilSettled(10s);
    EXPECT_EQ(writes.size(), count);
    EXPECT_EQ(loop.pendingCount(), 0u);
    // A later target starts a fresh loop.
    animator->setTarget(0.3);
    loop.runUntilSettled(10s);
    EXPECT_EQ(writes.back().value, 0.3);
}

TEST_F(AnimatorTest, RunningLoopKeepsTheAnimatorAliveAndAnOwnerEndsIt) {
    auto animator = make(0.2);
    std::weak_ptr<DDCAnimator> alive = animator;
    animator->setTarget(0.8);
    animator.reset();
    loop.runUntilSettled(10s);
    EXPECT_EQ(writes.back().value, 0.8);
    EXPECT_TRUE(alive.expired());

    writes.clear();
    auto owner = std::make_shared<int>(0);
    auto owned = DDCAnimator::create(
        loop, 0.2,
        [this](double v) -> Task<void> {
            writes.push_back({v, 0});
            co_return;
        },
        owner);
    owned->setTarget(0.8);
    loop.advance(50ms);
    owner.reset();
    loop.runUntilSettled(10s);
    EXPECT_EQ(writes.size(), 2u);
    EXPECT_FALSE(owned->running());
}

} // namespace
} // namespace brivio
