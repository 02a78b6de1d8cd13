#include "base/RealLoop.h"

#include "base/Log.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace brivio {

RealLoop::RealLoop() {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll_ < 0 || timerFd_ < 0 || wakeFd_ < 0) {
        logError(LogCategory::AppDelegate, "Main loop setup failed: {}", std::strerror(errno));
        if (epoll_ >= 0)
            close(epoll_);
        epoll_ = -1;
        return;
    }
    for (int fd : {timerFd_, wakeFd_}) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
    }
}

RealLoop::~RealLoop() {
    timers_.clear();
    for (int fd : {epoll_, timerFd_, wakeFd_, signalFd_})
        if (fd >= 0)
            close(fd);
}

TimePoint RealLoop::now() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return TimePoint(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec));
}

TimerId RealLoop::postAfter(Duration delay, Callback callback, TimerRole role) {
    TimerId id = timers_.add(now() + std::max(delay, Duration::zero()), std::move(callback), role);
    armTimer();
    return id;
}

void RealLoop::cancel(TimerId id) {
    Callback doomed = timers_.remove(id);
}

void RealLoop::postFromAnyThread(Callback callback) {
    {
        std::lock_guard lock(foreignMutex_);
        foreign_.push_back(std::move(callback));
    }
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = write(wakeFd_, &one, sizeof one);
}

bool RealLoop::watchFd(int fd, std::uint32_t events, FdCallback callback) {
    epoll_event ev{};
    ev.events = events;
    ev.data.fd = fd;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) != 0)
        return false;
    watched_[fd] = std::move(callback);
    return true;
}

void RealLoop::unwatchFd(int fd) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    watched_.erase(fd);
}

void RealLoop::onTerminationSignal(Callback callback) {
    onSignal_ = std::move(callback);
    if (signalFd_ >= 0)
        return;
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    // The terminal that started the run was closed: the same orderly end, or gamma stays dimmed.
    sigaddset(&mask, SIGHUP);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    signalFd_ = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd_ < 0)
        return;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = signalFd_;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, signalFd_, &ev);
}

void RealLoop::armTimer() {
    itimerspec timer{};
    if (auto next = timers_.earliest()) {
        auto due = next->first.time_since_epoch();
        auto secs = std::chrono::duration_cast<std::chrono::seconds>(due);
        timer.it_value.tv_sec = secs.count();
        timer.it_value.tv_nsec = std::chrono::duration_cast<std::chrono::nanoseconds>(due - secs).count();
        if (timer.it_value.tv_sec == 0 && timer.it_value.tv_nsec == 0)
            timer.it_value.tv_nsec = 1;
    }
    timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &timer, nullptr);
}

void RealLoop::runDue() {
    TimePoint current = now();
    while (!quit_) {
        Callback callback = timers_.takeDue(current);
        if (!callback)
            break;
        callback();
    }
    armTimer();
}

void RealLoop::waitOnce(int timeoutMs) {
    epoll_event events[16];
    int n = epoll_wait(epoll_, events, 16, timeoutMs);
    for (int i = 0; i < n; ++i) {
        int fd = events[i].data.fd;
        if (fd == timerFd_) {
            std::uint64_t expirations;
            [[maybe_unused]] auto r = read(timerFd_, &expirations, sizeof expirations);
        } else if (fd == wakeFd_) {
            std::uint64_t count;
            [[maybe_unused]] auto r = read(wakeFd_, &count, sizeof count);
            std::vector<Callback> foreign;
            {
                std::lock_guard lock(foreignMutex_);
                foreign.swap(foreign_);
            }
            for (auto& callback : foreign)
                callback();
        } else if (fd == signalFd_) {
            signalfd_siginfo info;
            while (read(signalFd_, &info, sizeof info) == sizeof info) {
                if (onSignal_)
                    onSignal_();
            }
        } else if (auto it = watched_.find(fd); it != watched_.end()) {
            auto callback = it->second;
            callback(events[i].events);
        }
    }
    runDue();
}

void RealLoop::run() {
    quit_ = false;
    if (!valid())
        return;
    runDue();
    while (!quit_)
        waitOnce(-1);
}

bool RealLoop::runUntilSettled(Duration limit) {
    if (!valid())
        return false;
    TimePoint deadline = now() + limit;
    quit_ = false;
    runDue();
    while (timers_.workCount() > 0 && !quit_) {
        TimePoint current = now();
        if (current >= deadline)
            return false;
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - current).count();
        waitOnce(static_cast<int>(std::max<long long>(1, wait)));
    }
    return timers_.workCount() == 0;
}

} // namespace brivio
