#pragma once
// The simulated wall clock: the scenario's start instant moved by the loop's elapsed time and by any
// sleeps and clock jumps played on the desk; wake, clock and time-zone notifications come through the loop.

#include "base/MainLoop.h"
#include "base/WeakPtr.h"
#include "platform/WallClock.h"

namespace brivio {

class SimClock final : public WallClock {
public:
    SimClock(MainLoop& loop, WallTime start, std::string timeZone);

    WallTime now() const override;
    std::string timeZone() const override { return timeZone_; }
    Signal<>& didWake() override { return didWake_; }
    Signal<>& clockChanged() override { return clockChanged_; }
    Signal<>& timeZoneChanged() override { return timeZoneChanged_; }

    // The machine slept: wall time moves on by `duration` while the loop stood still; didWake follows.
    void sleepFor(Duration duration);
    // The user or the network set the clock; clockChanged follows.
    void jumpClock(Duration duration);
    void setTimeZone(std::string timeZone);

private:
    void post(Signal<> SimClock::*signal);

    MainLoop& loop_;
    TimePoint origin_;
    WallTime start_;
    Duration offset_{0};
    std::string timeZone_;
    Signal<> didWake_;
    Signal<> clockChanged_;
    Signal<> timeZoneChanged_;
    WeakPtrFactory<SimClock> weak{this};
};

} // namespace brivio
