#include "app/shell/QtMainLoop.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <sys/epoll.h>

namespace brivio {

QtMainLoop::QtMainLoop(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { runDue(); });
}

QtMainLoop::~QtMainLoop() {
    timer_.stop();
    // Callbacks may own objects that cancel timers while they go.
    timers_.clear();
    watched_.clear();
}

TimePoint QtMainLoop::now() const {
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

TimerId QtMainLoop::postAfter(Duration delay, Callback callback, TimerRole role) {
    TimerId id = timers_.add(now() + std::max(delay, Duration::zero()), std::move(callback), role);
    arm();
    return id;
}

void QtMainLoop::cancel(TimerId id) {
    Callback doomed = timers_.remove(id);
    arm();
}

void QtMainLoop::arm() {
    auto next = timers_.earliest();
    if (!next) {
        timer_.stop();
        return;
    }
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(next->first - now()).count();
    // Polls may drift a little so that the system can batch wake-ups; work keeps its timing.
    timer_.setTimerType(next->second == TimerRole::background ? Qt::CoarseTimer : Qt::PreciseTimer);
    timer_.start(static_cast<int>(std::clamp<long long>(wait, 0, 24LL * 3600 * 1000)));
}

void QtMainLoop::runDue() {
    // Only what was due when the pass began: work posted meanwhile waits for the next turn of the Qt
    // loop, so input and painting are never starved.
    TimePoint current = now();
    while (Callback callback = timers_.takeDue(current)) {
        ++fired_;
        callback();
    }
    arm();
}

void QtMainLoop::postFromAnyThread(Callback callback) {
    QMetaObject::invokeMethod(
        this,
        [this, callback = std::move(callback)]() mutable {
            postAfter(Duration::zero(), std::move(callback));
        },
        Qt::QueuedConnection);
}

bool QtMainLoop::watchFd(int fd, std::uint32_t events, FdCallback callback) {
    if (fd < 0 || watched_.count(fd))
        return false;
    auto watch = std::make_shared<Watch>();
    watch->callback = std::move(callback);
    std::weak_ptr<Watch> weak = watch;
    auto add = [&](QSocketNotifier::Type type, std::uint32_t flag) {
        auto notifier = std::make_unique<QSocketNotifier>(fd, type);
        // The callback may unwatch (and so destroy this notifier); hold the watch while it runs.
        connect(notifier.get(), &QSocketNotifier::activated, this, [weak, flag] {
            if (auto w = weak.lock()) {
                auto cb = w->callback;
                cb(flag);
            }
        });
        watch->notifiers.push_back(std::move(notifier));
    };
    if (events & EPOLLIN)
        add(QSocketNotifier::Read, EPOLLIN);
    if (events & EPOLLOUT)
        add(QSocketNotifier::Write, EPOLLOUT);
    if (events & (EPOLLPRI | EPOLLERR))
        add(QSocketNotifier::Exception, events & EPOLLPRI ? EPOLLPRI : EPOLLERR);
    if (watch->notifiers.empty())
        return false;
    watched_.emplace(fd, std::move(watch));
    return true;
}

void QtMainLoop::unwatchFd(int fd) {
    auto it = watched_.find(fd);
    if (it == watched_.end())
        return;
    // A notifier cannot be deleted inside its own activation; let Qt drop them after it.
    for (auto& notifier : it->second->notifiers) {
        notifier->setEnabled(false);
        notifier.release()->deleteLater();
    }
    watched_.erase(it);
}

} // namespace brivio
