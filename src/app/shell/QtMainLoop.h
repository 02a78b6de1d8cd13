#pragma once
// The main loop on top of the Qt event loop: one Qt timer armed for the earliest due callback (so that
// equal-time callbacks keep their posting order, as on the other loops) and socket notifiers for
// watched file descriptors.

#include "base/FdWatcher.h"
#include "base/MainLoop.h"
#include "base/TimerQueue.h"

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

class QSocketNotifier;

namespace brivio {

class QtMainLoop final : public QObject, public MainLoop, public FdWatcher {
    Q_OBJECT
public:
    explicit QtMainLoop(QObject* parent = nullptr);
    ~QtMainLoop() override;

    TimePoint now() const override;
    TimerId postAfter(Duration delay, Callback callback, TimerRole role = TimerRole::work) override;
    void cancel(TimerId id) override;

    bool watchFd(int fd, std::uint32_t events, FdCallback callback) override;
    void unwatchFd(int fd) override;

    // Safe from any thread: the callback runs on the loop's thread.
    void postFromAnyThread(Callback callback);

    std::size_t pendingCount() const { return timers_.size(); }
    std::size_t pendingWorkCount() const { return timers_.workCount(); }
    // Callbacks run so far (the idle benchmark counts wake-ups with it).
    std::uint64_t firedCount() const { return fired_; }

private:
    void arm();
    void runDue();

    struct Watch {
        FdCallback callback;
        std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    };

    QTimer timer_;
    TimerQueue timers_;
    std::uint64_t fired_ = 0;
    std::map<int, std::shared_ptr<Watch>> watched_;
};

} // namespace brivio
