#pragma once
// The agent's main loop on the real clock: one epoll set over a timerfd, an eventfd for wake-ups from
// other threads, watched file descriptors (udev, D-Bus, X11) and a signalfd for termination signals.

#include "base/FdWatcher.h"
#include "base/MainLoop.h"
#include "base/TimerQueue.h"

#include <map>
#include <mutex>
#include <vector>

namespace brivio {

class RealLoop final : public MainLoop, public FdWatcher {
public:
    RealLoop();
    ~RealLoop() override;
    RealLoop(const RealLoop&) = delete;
    RealLoop& operator=(const RealLoop&) = delete;

    TimePoint now() const override;
    TimerId postAfter(Duration delay, Callback callback, TimerRole role = TimerRole::work) override;
    void cancel(TimerId id) override;

    // Safe from any thread or a signal-free context: the callback runs on the loop's thread.
    void postFromAnyThread(Callback callback);
    bool watchFd(int fd, std::uint32_t events, FdCallback callback) override;
    void unwatchFd(int fd) override;
    // SIGTERM, SIGINT and SIGHUP stop being fatal and call `callback` on the loop instead.
    void onTerminationSignal(Callback callback);

    // Runs until `quit()`; returns at once if the loop could not be set up.
    void run();
    // Runs until no work timer is pending or `limit` has passed (the command line's settle step).
    bool runUntilSettled(Duration limit);
    void quit() { quit_ = true; }
    bool valid() const { return epoll_ >= 0; }

private:
    void armTimer();
    void runDue();
    void waitOnce(int timeoutMs);

    int epoll_ = -1;
    int timerFd_ = -1;
    int wakeFd_ = -1;
    int signalFd_ = -1;
    bool quit_ = false;
    TimerQueue timers_;
    std::map<int, FdCallback> watched_;
    Callback onSignal_;
    std::mutex foreignMutex_;
    std::vector<Callback> foreign_;
};

} // namespace brivio
