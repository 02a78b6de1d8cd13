#include "core/DDCAnimator.h"

#include "base/Log.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace brivio {

namespace {

constexpr double convergence = 0.005;
constexpr double geometricShare = 0.13;
constexpr double minimumGeometricStep = 0.01;
constexpr double finalShare = 0.45;
constexpr double maximumFinalStep = 0.01;
constexpr Duration pacing = 40ms;

double stepFor(double diff) {
    if (geometricShare * std::abs(diff) >= minimumGeometricStep)
        return geometricShare * diff;
    return std::clamp(finalShare * diff, -maximumFinalStep, maximumFinalStep);
}

// True for a default-constructed token (no owner given), unlike the token of an owner that is gone.
bool isEmpty(const std::weak_ptr<void>& token) {
    const std::weak_ptr<void> none;
    return !token.owner_before(none) && !none.owner_before(token);
}

} // namespace

std::shared_ptr<DDCAnimator> DDCAnimator::create(MainLoop& loop, double value, WriteFunction write,
                                                 std::weak_ptr<void> owner) {
    return std::make_shared<DDCAnimator>(loop, value, std::move(write), std::move(owner));
}

DDCAnimator::DDCAnimator(MainLoop& loop, double value, WriteFunction write, std::weak_ptr<void> owner)
    : loop_(loop), target_(value), current_(value), write_(std::move(write)), owner_(std::move(owner)),
      hasOwner_(!isEmpty(owner_)) {}

void DDCAnimator::setTarget(double value) {
    // A NaN would never converge and keep the bus busy for good.
    if (std::isnan(value))
        return;
    target_ = std::clamp(value, 0.0, 1.0);
    if (task_)
        return;
    auto loop = stepLoop(shared_from_this(), ++generation_);
    task_ = hasOwner_ ? spawn(loop_, std::move(loop), owner_) : spawn(loop_, std::move(loop));
}

void DDCAnimator::cancel() {
    if (!task_)
        return;
    auto task = *task_;
    task_.reset();
    ++generation_;
    task.cancel();
}

Task<void> DDCAnimator::stepLoop(std::shared_ptr<DDCAnimator> self, unsigned generation) {
    try {
        TaskContext* context = co_await currentContext();
        while (!context->cancelled()) {
            const double diff = self->target_ - self->current_;
            const bool last = std::abs(diff) < convergence;
            self->current_ = last ? self->target_ : self->current_ + stepFor(diff);
            const TimePoint start = self->loop_.now();
            try {
                co_await self->write_(self->current_);
            } catch (const TaskCancelled&) {
                throw;
            } catch (const std::exception& e) {
                // Write functions report their own failures; the walk goes on.
                logError(LogCategory::controller, "DDC write step failed: {}", e.what());
            }
            // A target set while the exact value was being written is not lost: walk on to it.
            if (last && self->target_ == self->current_)
                break;
            const Duration remaining = pacing - (self->loop_.now() - start);
            if (remaining > Duration::zero())
                co_await sleep(remaining);
        }
    } catch (const TaskCancelled&) {
        // Cancelled during a write or the pacing sleep: stop without further writes.
    }
    if (self->generation_ == generation)
        self->task_.reset();
}

} // namespace brivio
