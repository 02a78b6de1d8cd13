#include "base/VirtualLoop.h"
#include "modes/DisplayControlStrip.h"
#include "modes/ModeFakes.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

using testing::FakeRegistry;
using testing::FakeWindowServer;
using testing::platformModes;
using testing::pm;

// A display with modes A (2560 wide), B (1920) and C (1280), currently in A; rotation by frame buffer.
struct StripRig {
    VirtualLoop loop;
    FakeWindowServer server;
    FakeRegistry registry;
    std::unique_ptr<DisplayModeManager> manager;
    std::unique_ptr<DisplayControlStrip> strip;
    std::vector<PlatformMode> raw = platformModes(
        {pm(2560, 1440, 2560, 1440, 60), pm(1920, 1080, 1920, 1080, 60), pm(1280, 720, 1280, 720, 60)});

    StripRig() {
        server.modes = raw;
        server.current = raw[0];
        registry.framebuffers = {{{"IOFramebufferUnitNumber", {std::int64_t(2)}}}};
        manager = std::make_unique<DisplayModeManager>(server, registry);
        ManagedDisplay display;
        display.identity = {FakeWindowServer::display, 16, 48, 5, "M", 2};
        strip = std::make_unique<DisplayControlStrip>(loop, *manager, display);
    }
    const ModeStripState& state() const { return strip->state(); }
    const DisplayResolutionMode& mode(std::size_t i) const { return state().modes.at(i); }
    std::uint64_t shownHandle() const { return state().currentMode ? state().currentMode->cgMode.handle : 0; }
    void seconds(int n) {
        loop.runUntilIdle();
        loop.advance(std::chrono::seconds(n));
    }
};

TEST(ModeRevert, CountsDownAndRevertsUnlessKept) {
    StripRig rig;
    std::vector<int> shown;
    auto subscription = rig.strip->changed().subscribe([&](PendingKind kind) {
        if (kind == PendingKind::mode && rig.state().previousMode)
            shown.push_back(rig.state().revertCountdown);
    });
    rig.strip->applyMode(rig.mode(1));
    EXPECT_EQ(rig.strip->modeBanner(), "Keep the display changes? (10s)");
    EXPECT_EQ(rig.server.current->handle, 2u);
    rig.seconds(9);
    EXPECT_EQ(rig.server.current->handle, 2u);
    rig.seconds(1);
    EXPECT_EQ(shown, (std::vector<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_FALSE(rig.strip->modeBanner());
    EXPECT_EQ(rig.server.current->handle, 1u);
    EXPECT_EQ(rig.shownHandle(), 1u); // read back from the display

    rig.strip->applyMode(rig.mode(2));
    rig.seconds(7);
    rig.strip->keepMode();
    rig.seconds(30);
    EXPECT_FALSE(rig.strip->modeBanner());
    EXPECT_FALSE(rig.strip->countingDown(PendingKind::mode));
    EXPECT_EQ(rig.server.current->handle, 3u);
}

TEST(ModeRevert, SecondChangeRestartsAndGoesBackOneStep) {
    StripRig rig;
    rig.strip->applyMode(rig.mode(1));
    rig.seconds(4);
    rig.strip->applyMode(rig.mode(2));
    EXPECT_EQ(rig.state().revertCountdown, 10);
    EXPECT_EQ(rig.state().previousMode, rig.mode(1));
    rig.seconds(9);
    EXPECT_EQ(rig.server.current->handle, 3u); // the first countdown did not fire at its ten seconds
    rig.seconds(1);
    EXPECT_EQ(rig.server.current->handle, 2u);
    // The same mode again is no change.
    rig.server.calls.clear();
    rig.strip->applyMode(rig.mode(1));
    EXPECT_TRUE(rig.server.calls.empty());
    EXPECT_FALSE(rig.strip->modeBanner());
}

TEST(ModeRevert, FailedTransactionChangesNothing) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"begin", {"begin"}},
        {"configure", {"begin", "configure 2", "cancel"}},
        {"complete", {"begin", "configure 2", "complete"}}, // a failed completion is not cancelled
    };
    for (auto& [step, calls] : cases) {
        StripRig rig;
        rig.server.failAt = step;
        rig.strip->applyMode(rig.mode(1));
        EXPECT_EQ(rig.server.calls, calls) << step;
        EXPECT_EQ(rig.shownHandle(), 1u) << step;
        EXPECT_FALSE(rig.strip->modeBanner()) << step;
        EXPECT_FALSE(rig.strip->countingDown(PendingKind::mode)) << step;
    }
}

TEST(ModeRevert, UnknownCurrentModeHasNothingToGoBackTo) {
    StripRig unknown;
    unknown.server.current.reset();
    unknown.strip =
        std::make_unique<DisplayControlStrip>(unknown.loop, *unknown.manager, unknown.strip->display());
    unknown.strip->applyMode(unknown.mode(1));
    EXPECT_FALSE(unknown.strip->modeBanner());
    unknown.seconds(11);
    EXPECT_EQ(unknown.server.current->handle, 2u);
}

TEST(ModeRevert, DisplayLeavingDuringTheCountdown) {
    // Gone for good: the countdown ends without touching whatever holds the number now.
    StripRig gone;
    gone.strip->applyMode(gone.mode(1));
    gone.strip.reset(); // its card went with it
    gone.server.online = false;
    gone.server.calls.clear();
    gone.seconds(10);
    EXPECT_TRUE(gone.server.calls.empty());

    // Back under the same number before the end: reverted as if it had never left.
    StripRig back;
    back.strip->applyMode(back.mode(1));
    back.server.online = false;
    back.seconds(5);
    back.server.online = true;
    back.seconds(5);
    EXPECT_EQ(back.server.current->handle, 1u);
    EXPECT_FALSE(back.strip->modeBanner());
}

TEST(ModeRevert, AWayOutThatCannotWaitRevertsEverythingUnconfirmedAtOnce) {
    StripRig rig;
    rig.strip->applyMode(rig.mode(1));
    rig.strip->applyRotation(90);
    rig.seconds(3);
    rig.strip->revertUnconfirmed();
    EXPECT_EQ(rig.server.current->handle, rig.raw[0].handle);
    EXPECT_EQ(rig.registry.calls.back(), "1 Rotation 0");
    EXPECT_FALSE(rig.strip->modeBanner());
    EXPECT_FALSE(rig.strip->rotationBanner());
    auto calls = rig.registry.calls.size();
    rig.seconds(10);
    EXPECT_EQ(rig.registry.calls.size(), calls) << "the countdowns are over";
}

TEST(ModeRevert, QuittingRevertsWhatNobodyConfirmedEvenWithoutItsStrip) {
    StripRig closed;
    closed.strip->applyMode(closed.mode(1));
    closed.strip.reset(); // the panel closed; the countdown still runs
    StripRig open;
    open.strip->applyRotation(90);
    StripRig kept;
    kept.strip->applyMode(kept.mode(2));
    kept.strip->keepMode();
    DisplayControlStrip::revertEveryUnconfirmed();
    EXPECT_EQ(closed.server.current->handle, closed.raw[0].handle);
    EXPECT_EQ(open.registry.calls.back(), "1 Rotation 0");
    EXPECT_EQ(kept.server.current->handle, kept.raw[2].handle);

    // A strip whose manager went first is left alone (nothing could switch it).
    StripRig orphan;
    orphan.strip->applyMode(orphan.mode(1));
    orphan.strip.reset();
    orphan.manager.reset();
    orphan.server.calls.clear();
    DisplayControlStrip::revertEveryUnconfirmed();
    EXPECT_TRUE(orphan.server.calls.empty());
}

TEST(RotationRevert, CountsDownIndependentlyOfModes) {
    StripRig rig;
    rig.strip->applyRotation(90);
    EXPECT_EQ(rig.registry.calls, (std::vector<std::string>{"1 Rotation 90"}));
    rig.seconds(3);
    rig.strip->applyMode(rig.mode(1));
    EXPECT_EQ(rig.strip->rotationBanner(), "Keep the rotation? (7s)");
    EXPECT_EQ(rig.strip->modeBanner(), "Keep the display changes? (10s)");
    rig.seconds(7);
    EXPECT_EQ(rig.registry.calls.back(), "1 Rotation 0");
    EXPECT_EQ(rig.state().currentRotation, 0);
    EXPECT_TRUE(rig.strip->modeBanner());

    // The angle already shown, and angles never offered, do nothing.
    rig.registry.calls.clear();
    rig.strip->applyRotation(0);
    rig.strip->applyRotation(45);
    EXPECT_TRUE(rig.registry.calls.empty());

    // A refused rotation shows no banner; a refused revert shows the angle the display really has.
    rig.registry.rotationResult = 1;
    rig.strip->applyRotation(180);
    EXPECT_FALSE(rig.strip->rotationBanner());
    rig.registry.rotationResult = 0;
    rig.strip->applyRotation(270);
    rig.registry.rotationResult = 1;
    rig.server.angle = 270;
    rig.strip->revertRotation(0);
    EXPECT_EQ(rig.state().currentRotation, 270);
    EXPECT_FALSE(rig.strip->countingDown(PendingKind::rotation));
}

} // namespace
} // namespace brivio
