#include "platform/sim/SimClock.h"

namespace brivio {

SimClock::SimClock(MainLoop& loop, WallTime start, std::string timeZone)
    : loop_(loop), origin_(loop.now()), start_(start), timeZone_(std::move(timeZone)) {}

WallTime SimClock::now() const {
    return start_ + std::chrono::duration_cast<WallTime::duration>(loop_.now() - origin_ + offset_);
}

void SimClock::post(Signal<> SimClock::*signal) {
    loop_.post([weak = weak.weak(), signal] {
        if (weak)
            ((*weak).*signal).emit();
    });
}

void SimClock::sleepFor(Duration duration) {
    offset_ += duration;
    post(&SimClock::didWake_);
}

void SimClock::jumpClock(Duration duration) {
    offset_ += duration;
    post(&SimClock::clockChanged_);
}

void SimClock::setTimeZone(std::string timeZone) {
    timeZone_ = std::move(timeZone);
    post(&SimClock::timeZoneChanged_);
}

} // namespace brivio
