#pragma once
// The timers of a real-time loop, earliest first and in posting order at equal times, with the count
// of work timers a settle waits for. The loops around it decide how to sleep until the next one.

#include "base/MainLoop.h"

#include <map>
#include <optional>
#include <utility>

namespace brivio {

class TimerQueue {
public:
    using Callback = MainLoop::Callback;

    TimerQueue() = default;
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;
    ~TimerQueue() { clear(); }

    TimerId add(TimePoint due, Callback callback, TimerRole role);
    // The cancelled timer's callback, for the caller to destroy once the queue is consistent again
    // (what it owns may cancel other timers as it goes); empty for an unknown or fired id.
    Callback remove(TimerId id);
    // The earliest callback due at `now` or before, taken out of the queue; empty when none is.
    Callback takeDue(TimePoint now);
    // Drops every timer; callbacks that cancel timers while they are destroyed find nothing.
    void clear();

    std::optional<std::pair<TimePoint, TimerRole>> earliest() const;
    bool empty() const { return timers_.empty(); }
    std::size_t size() const { return timers_.size(); }
    std::size_t workCount() const { return workCount_; }

private:
    struct Entry {
        Callback callback;
        TimerRole role;
    };
    std::map<std::pair<TimePoint, TimerId>, Entry>::iterator
    erase(std::map<std::pair<TimePoint, TimerId>, Entry>::iterator it, Callback& out);

    TimerId nextId_ = 1;
    std::map<std::pair<TimePoint, TimerId>, Entry> timers_;
    std::map<TimerId, TimePoint> dueById_;
    std::size_t workCount_ = 0;
};

} // namespace brivio
