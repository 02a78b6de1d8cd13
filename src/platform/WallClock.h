#pragma once
// Wall-clock time and the user's calendar: the current instant, the time zone, and the notifications
// that the machine woke up, the clock was set, or the time zone changed.

#include "base/Signal.h"

#include <chrono>
#include <string>

namespace brivio {

using WallTime = std::chrono::system_clock::time_point;

class WallClock {
public:
    virtual ~WallClock() = default;
    virtual WallTime now() const = 0;
    // An IANA zone name, for example "Europe/Berlin".
    virtual std::string timeZone() const = 0;
    virtual Signal<>& didWake() = 0;
    virtual Signal<>& clockChanged() = 0;
    virtual Signal<>& timeZoneChanged() = 0;
};

} // namespace brivio
