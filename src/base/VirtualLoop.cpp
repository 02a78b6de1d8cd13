#include "base/VirtualLoop.h"

namespace brivio {

VirtualLoop::~VirtualLoop() {
    // Callbacks may own task frames whose destructors look at the loop; drop them while it still exists.
    auto timers = std::move(timers_);
    timers_.clear();
    dueById_.clear();
    workCount_ = 0;
    timers.clear();
}

TimerId VirtualLoop::postAfter(Duration delay, Callback callback, TimerRole role) {
    TimerId id = nextId_++;
    TimePoint due = now_ + (delay < Duration::zero() ? Duration::zero() : delay);
    timers_.emplace(Key{due, id}, Entry{std::move(callback), role});
    dueById_.emplace(id, due);
    if (role == TimerRole::work)
        ++workCount_;
    return id;
}

void VirtualLoop::cancel(TimerId id) {
    auto it = dueById_.find(id);
    if (it == dueById_.end())
        return;
    auto entry = timers_.find(Key{it->second, id});
    if (entry->second.role == TimerRole::work)
        --workCount_;
    // Destroy the callback only after the bookkeeping is consistent: its destructor may post or cancel.
    Callback doomed = std::move(entry->second.callback);
    timers_.erase(entry);
    dueById_.erase(it);
}

bool VirtualLoop::runNextDueBy(TimePoint limit) {
    if (timers_.empty())
        return false;
    auto first = timers_.begin();
    if (first->first.first > limit)
        return false;
    now_ = first->first.first;
    Callback callback = std::move(first->second.callback);
    if (first->second.role == TimerRole::work)
        --workCount_;
    dueById_.erase(first->first.second);
    timers_.erase(first);
    callback();
    return true;
}

void VirtualLoop::runUntilIdle() {
    while (runNextDueBy(now_)) {
    }
}

void VirtualLoop::advance(Duration d) {
    TimePoint target = now_ + d;
    while (runNextDueBy(target)) {
    }
    now_ = target;
}

bool VirtualLoop::runUntilSettled(Duration limit) {
    TimePoint deadline = now_ + limit;
    runUntilIdle();
    while (workCount_ > 0) {
        if (!runNextDueBy(deadline)) {
            now_ = deadline;
            return false;
        }
    }
    return true;
}

TimePoint VirtualLoop::nextDue() const {
    return timers_.empty() ? now_ : timers_.begin()->first.first;
}

} // namespace brivio
