#pragma once
// Walks one DDC control of one monitor towards the latest target in paced steps (a write at most every
// 40 ms), dropping the values in between: monitors take only a few writes per second.

#include "base/MainLoop.h"
#include "base/Task.h"

#include <functional>
#include <memory>
#include <optional>

namespace brivio {

class DDCAnimator : public std::enable_shared_from_this<DDCAnimator> {
public:
    // Sends one value to the monitor and handles its own failures. It is kept alive while the loop runs,
    // so a coroutine lambda may capture what it needs.
    using WriteFunction = std::function<Task<void>(double)>;

    // Idle, with target and current both `value`. With an owner token the loop ends once the owner
    // is gone; without one it runs to its end.
    static std::shared_ptr<DDCAnimator> create(MainLoop& loop, double value, WriteFunction write,
                                               std::weak_ptr<void> owner = {});

    double target() const { return target_; }
    double current() const { return current_; }
    bool running() const { return task_.has_value(); }
    const std::optional<TaskHandle>& task() const { return task_; }

    // Starts the step loop when idle; a running loop picks the new target up at its next step.
    void setTarget(double value);
    // Stops the loop at its next check and forgets it.
    void cancel();

    DDCAnimator(MainLoop& loop, double value, WriteFunction write, std::weak_ptr<void> owner);

private:
    // Holds the animator alive until it ends.
    static Task<void> stepLoop(std::shared_ptr<DDCAnimator> self, unsigned generation);

    MainLoop& loop_;
    double target_;
    double current_;
    std::optional<TaskHandle> task_;
    WriteFunction write_;
    std::weak_ptr<void> owner_;
    bool hasOwner_;
    // Tells a loop that was cancelled and replaced not to clear its successor.
    unsigned generation_ = 0;
};

} // namespace brivio
