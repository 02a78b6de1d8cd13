#include "base/TimerQueue.h"

namespace brivio {

TimerId TimerQueue::add(TimePoint due, Callback callback, TimerRole role) {
    TimerId id = nextId_++;
    timers_.emplace(std::pair{due, id}, Entry{std::move(callback), role});
    dueById_.emplace(id, due);
    if (role == TimerRole::work)
        ++workCount_;
    return id;
}

std::map<std::pair<TimePoint, TimerId>, TimerQueue::Entry>::iterator
TimerQueue::erase(std::map<std::pair<TimePoint, TimerId>, Entry>::iterator it, Callback& out) {
    out = std::move(it->second.callback);
    if (it->second.role == TimerRole::work)
        --workCount_;
    dueById_.erase(it->first.second);
    return timers_.erase(it);
}

TimerQueue::Callback TimerQueue::remove(TimerId id) {
    Callback doomed;
    auto it = dueById_.find(id);
    if (it != dueById_.end())
        erase(timers_.find(std::pair{it->second, id}), doomed);
    return doomed;
}

TimerQueue::Callback TimerQueue::takeDue(TimePoint now) {
    Callback callback;
    if (!timers_.empty() && timers_.begin()->first.first <= now)
        erase(timers_.begin(), callback);
    return callback;
}

void TimerQueue::clear() {
    auto doomed = std::move(timers_);
    timers_.clear();
    dueById_.clear();
    workCount_ = 0;
    doomed.clear();
}

std::optional<std::pair<TimePoint, TimerRole>> TimerQueue::earliest() const {
    if (timers_.empty())
        return std::nullopt;
    return std::pair{timers_.begin()->first.first, timers_.begin()->second.role};
}

} // namespace brivio
