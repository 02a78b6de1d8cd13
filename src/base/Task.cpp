#include "base/Task.h"

#include "base/Log.h"

#include <typeinfo>

namespace brivio {

namespace {

Task<void> rootOf(Task<void> task) {
    try {
        co_await std::move(task);
    } catch (const TaskCancelled&) {
        // Cancellation and a vanished owner end a task quietly.
    } catch (const std::exception& e) {
        logError(LogCategory::controller, "Task ended with an error: {}", e.what());
    } catch (...) {
        logError(LogCategory::controller, "Task ended with an unknown error");
    }
}

} // namespace

class TaskSpawner {
public:
    static TaskHandle spawn(MainLoop& loop, Task<void> task, std::weak_ptr<void> owner, bool hasOwner) {
        auto context = std::make_shared<TaskContext>(loop, std::move(owner), hasOwner);
        auto root = rootOf(std::move(task)).release();
        root.promise().context = context.get();
        context->root_ = root;
        loop.post([context] {
            if (context->cancelled()) {
                context->finish();
                return;
            }
            context->resume(context->root_);
        });
        return TaskHandle(context);
    }
};

TaskHandle spawn(MainLoop& loop, Task<void> task) {
    return TaskSpawner::spawn(loop, std::move(task), {}, false);
}

TaskHandle spawn(MainLoop& loop, Task<void> task, std::weak_ptr<void> owner) {
    return TaskSpawner::spawn(loop, std::move(task), std::move(owner), true);
}

void TaskContext::cancel() {
    if (cancelled_ || finished_)
        return;
    cancelled_ = true;
    if (wakeHook_) {
        auto hook = std::move(wakeHook_);
        wakeHook_ = nullptr;
        hook();
    }
}

void TaskContext::resume(std::coroutine_handle<> handle) {
    // Keep the context alive while the tree runs: the last callback holding it may be this one.
    auto self = shared_from_this();
    handle.resume();
    if (root_ && root_.done())
        finish();
}

void TaskContext::finish() {
    if (finished_)
        return;
    finished_ = true;
    wakeHook_ = nullptr;
    if (root_) {
        root_.destroy();
        root_ = {};
    }
    auto callbacks = std::move(finishCallbacks_);
    for (auto& callback : callbacks)
        callback();
}

TaskContext::~TaskContext() {
    // A tree dropped while suspended (its loop went away) is destroyed without running further.
    if (root_)
        root_.destroy();
}

void SleepAwaiter::suspendOn(TaskContext* ctx, std::coroutine_handle<> h) {
    context = ctx;
    MainLoop& loop = ctx->loop();
    // The pending wake-up owns the tree while it sleeps; nothing else needs to.
    timer = loop.postAfter(
        duration, [c = ctx->shared_from_this(), h] { c->resume(h); }, role);
    if (!cancellable)
        return;
    ctx->setWakeHook([ctx, h, &loop, id = timer] {
        // Post the early wake-up before dropping the timer: the timer may hold the last reference.
        loop.post([c = ctx->shared_from_this(), h] { c->resume(h); });
        loop.cancel(id);
    });
}

void YieldAwaiter::suspendOn(TaskContext* ctx, std::coroutine_handle<> h) {
    context = ctx;
    ctx->loop().post([c = ctx->shared_from_this(), h] { c->resume(h); });
}

} // namespace brivio
