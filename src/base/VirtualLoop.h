#pragma once
// A main loop whose clock moves only when told to: tests and the simulator run on it, never sleeping.

#include "base/MainLoop.h"

#include <map>
#include <utility>

namespace brivio {

class VirtualLoop final : public MainLoop {
public:
    VirtualLoop() = default;
    ~VirtualLoop() override;
    VirtualLoop(const VirtualLoop&) = delete;
    VirtualLoop& operator=(const VirtualLoop&) = delete;

    TimePoint now() const override { return now_; }
    TimerId postAfter(Duration delay, Callback callback, TimerRole role = TimerRole::work) override;
    void cancel(TimerId id) override;

    // Runs everything due at the current instant, including work that it posts for the same instant.
    void runUntilIdle();
    // Moves the clock forward by `d`, running each timer at its own instant, in order.
    void advance(Duration d);
    // Runs until no `work` timer is pending (background timers keep firing meanwhile) or `limit` has
    // passed. Returns true when it settled within the limit.
    bool runUntilSettled(Duration limit);

    std::size_t pendingCount() const { return timers_.size(); }
    std::size_t pendingWorkCount() const { return workCount_; }
    // The instant of the next timer, or now() when none is pending.
    TimePoint nextDue() const;

private:
    struct Entry {
        Callback callback;
        TimerRole role;
    };
    // Ordered by due time, then by posting order, so equal-time callbacks run first-in first-out.
    using Key = std::pair<TimePoint, TimerId>;

    bool runNextDueBy(TimePoint limit);

    TimePoint now_{};
    TimerId nextId_ = 1;
    std::map<Key, Entry> timers_;
    std::map<TimerId, TimePoint> dueById_;
    std::size_t workCount_ = 0;
};

} // namespace brivio
