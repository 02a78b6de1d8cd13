// The real loop's termination signals, on the real clock (bounded by a timeout, never a fixed wait).

#include "base/RealLoop.h"

#include <csignal>
#include <gtest/gtest.h>

namespace brivio {
namespace {

TEST(RealLoop, ClosingTheTerminalEndsTheRunLikeATermination) {
    RealLoop loop;
    ASSERT_TRUE(loop.valid());
    int terminations = 0;
    loop.onTerminationSignal([&] {
        ++terminations;
        loop.quit();
    });
    loop.postAfter(std::chrono::seconds(30), [&] { loop.quit(); }); // a bound, not a wait
    ::raise(SIGHUP);
    loop.run();
    EXPECT_EQ(terminations, 1);
}

} // namespace
} // namespace brivio
