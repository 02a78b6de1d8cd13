#pragma once
// Main-thread coroutines. A `Task<T>` starts when it is awaited or spawned; all tasks in one spawned
// tree share a context that carries the loop, the cancellation flag and the owner they serve. After
// every suspension a task throws `TaskCancelled` if it was cancelled or its owner is gone; the tree's
// root swallows that quietly, so cancellation is never an error.

#include "base/MainLoop.h"

#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

namespace brivio {

struct TaskCancelled {};

class TaskContext;
using TaskContextPtr = std::shared_ptr<TaskContext>;

// State shared by a spawned task tree.
class TaskContext : public std::enable_shared_from_this<TaskContext> {
public:
    TaskContext(MainLoop& loop, std::weak_ptr<void> owner, bool hasOwner)
        : loop_(loop), owner_(std::move(owner)), hasOwner_(hasOwner) {}

    MainLoop& loop() const { return loop_; }
    bool cancelled() const { return cancelled_ || (hasOwner_ && owner_.expired()); }
    bool finished() const { return finished_; }

    void cancel();
    // The awaitable that holds the tree suspended registers how to wake it early on cancellation.
    void setWakeHook(std::function<void()> hook) { wakeHook_ = std::move(hook); }
    void clearWakeHook() { wakeHook_ = nullptr; }
    // Resumes a suspended coroutine of this tree, then finishes the tree if its root has completed.
    void resume(std::coroutine_handle<> handle);
    void throwIfCancelled() const {
        if (cancelled())
            throw TaskCancelled{};
    }
    void onFinished(std::function<void()> callback) { finishCallbacks_.push_back(std::move(callback)); }

    ~TaskContext();

private:
    friend class TaskSpawner;
    void finish();

    MainLoop& loop_;
    std::weak_ptr<void> owner_;
    bool hasOwner_;
    bool cancelled_ = false;
    bool finished_ = false;
    std::coroutine_handle<> root_;
    std::function<void()> wakeHook_;
    std::vector<std::function<void()>> finishCallbacks_;
};

namespace detail {

struct PromiseBase {
    TaskContext* context = nullptr;
    std::coroutine_handle<> continuation;
    std::exception_ptr error;

    std::suspend_always initial_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }

    struct FinalAwaiter {
        bool await_ready() noexcept { return false; }
        template <typename P> std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
            auto next = h.promise().continuation;
            return next ? next : std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
};

template <typename T> struct Promise;

} // namespace detail

template <typename T = void> class [[nodiscard]] Task {
public:
    using promise_type = detail::Promise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    explicit Task(Handle h) : handle_(h) {}
    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() { reset(); }

    bool valid() const { return bool(handle_); }

    // Awaiting a task runs it inside the awaiting tree (same loop, same cancellation).
    struct Awaiter {
        Handle handle;
        bool await_ready() const noexcept { return !handle || handle.done(); }
        template <typename P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> awaiting) noexcept {
            handle.promise().context = awaiting.promise().context;
            handle.promise().continuation = awaiting;
            return handle;
        }
        T await_resume();
    };
    Awaiter operator co_await() && noexcept { return Awaiter{handle_}; }

    Handle release() { return std::exchange(handle_, {}); }

private:
    void reset() {
        if (handle_)
            handle_.destroy();
        handle_ = {};
    }
    Handle handle_;
};

namespace detail {

template <typename T> struct Promise : PromiseBase {
    std::optional<T> value;
    Task<T> get_return_object() { return Task<T>(std::coroutine_handle<Promise>::from_promise(*this)); }
    template <typename U> void return_value(U&& v) { value.emplace(std::forward<U>(v)); }
};

template <> struct Promise<void> : PromiseBase {
    Task<void> get_return_object() { return Task<void>(std::coroutine_handle<Promise>::from_promise(*this)); }
    void return_void() {}
};

} // namespace detail

template <typename T> T Task<T>::Awaiter::await_resume() {
    auto& promise = handle.promise();
    if (promise.error)
        std::rethrow_exception(promise.error);
    // The child finished, but the tree may have been cancelled meanwhile.
    if (promise.context)
        promise.context->throwIfCancelled();
    if constexpr (!std::is_void_v<T>)
        return std::move(*promise.value);
}

// A handle to a spawned task tree; copying it does not keep the task alive.
class TaskHandle {
public:
    TaskHandle() = default;
    explicit TaskHandle(std::weak_ptr<TaskContext> context) : context_(std::move(context)) {}

    void cancel() const {
        if (auto c = context_.lock())
            c->cancel();
    }
    bool running() const {
        auto c = context_.lock();
        return c && !c->finished();
    }
    bool operator==(const TaskHandle& other) const {
        return !context_.owner_before(other.context_) && !other.context_.owner_before(context_);
    }

private:
    std::weak_ptr<TaskContext> context_;
};

// Starts `task` on the next turn of `loop`. With an owner token, the task ends quietly once the owner
// is gone. Pass the owner's `WeakPtrFactory::token()`.
TaskHandle spawn(MainLoop& loop, Task<void> task);
TaskHandle spawn(MainLoop& loop, Task<void> task, std::weak_ptr<void> owner);

// Awaitable pause on the tree's loop. Cancellation wakes it at once and surfaces as `TaskCancelled`.
struct SleepAwaiter {
    Duration duration;
    bool cancellable = true;
    TimerRole role = TimerRole::work;
    TaskContext* context = nullptr;
    TimerId timer = 0;

    bool await_ready() const noexcept { return false; }
    template <typename P> void await_suspend(std::coroutine_handle<P> h) {
        suspendOn(h.promise().context, h);
    }
    void await_resume() {
        if (!cancellable)
            return;
        context->clearWakeHook();
        context->throwIfCancelled();
    }
    void suspendOn(TaskContext* ctx, std::coroutine_handle<> h);
};
inline SleepAwaiter sleep(Duration d) {
    return SleepAwaiter{d};
}
// The pause of a recurring poll: a loop that runs until settled does not wait for it.
inline SleepAwaiter backgroundSleep(Duration d) {
    return SleepAwaiter{d, true, TimerRole::background};
}
// A wait that a protocol needs whole (bus timing): cancellation neither shortens it nor throws; the
// next cancellable suspension or the awaiting task notices instead.
inline SleepAwaiter sleepThrough(Duration d) {
    return SleepAwaiter{d, false};
}

// Suspends until `resume()` is called on the returned resumer (for bridging callbacks into tasks).
// The value is handed over by the caller; cancellation wakes the task and throws.
struct YieldAwaiter {
    TaskContext* context = nullptr;
    bool await_ready() const noexcept { return false; }
    template <typename P> void await_suspend(std::coroutine_handle<P> h) {
        suspendOn(h.promise().context, h);
    }
    void await_resume() { context->throwIfCancelled(); }
    void suspendOn(TaskContext* ctx, std::coroutine_handle<> h);
};
// Lets other work on the loop run before the task goes on.
inline YieldAwaiter yieldNow() {
    return {};
}

// The context of the running task tree (for awaitables written outside this header).
struct CurrentContext {
    TaskContext* context = nullptr;
    bool await_ready() const noexcept { return false; }
    template <typename P> bool await_suspend(std::coroutine_handle<P> h) noexcept {
        context = h.promise().context;
        return false;
    }
    TaskContext* await_resume() const noexcept { return context; }
};
inline CurrentContext currentContext() {
    return {};
}

} // namespace brivio
