#pragma once
// The one main thread's event loop: every piece of state lives on it, and outside callbacks only post work.

#include "base/Time.h"

#include <cstdint>
#include <functional>

namespace brivio {

using TimerId = std::uint64_t;

// Recurring polls are `background`: a loop that "runs until settled" stops when only those remain.
enum class TimerRole { work, background };

class MainLoop {
public:
    using Callback = std::function<void()>;

    virtual ~MainLoop() = default;

    virtual TimePoint now() const = 0;
    // Runs `callback` after `delay` (zero: as soon as the current callback returns). Never re-entrant.
    virtual TimerId postAfter(Duration delay, Callback callback, TimerRole role = TimerRole::work) = 0;
    // Cancelling an unknown, fired or already cancelled id is harmless.
    virtual void cancel(TimerId id) = 0;

    TimerId post(Callback callback) { return postAfter(Duration::zero(), std::move(callback)); }
};

} // namespace brivio
