#pragma once
// The wall clock of a Linux desktop: the time zone from TZ or /etc/localtime, clock changes from a
// timer that the kernel cancels when the clock is set, zone changes from a watch on /etc, and wake-ups
// from the login manager's sleep signal when the system bus runs.

#include "platform/WallClock.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace brivio {

class FdWatcher;
class SystemBus;

// The zone name for a TZ value (":Europe/Berlin", "/usr/share/zoneinfo/Asia/Tokyo") or, without one,
// for the zone file `etcDir`/localtime links to (else the name in `etcDir`/timezone); "UTC" when
// nothing says.
std::string resolveTimeZone(const std::optional<std::string>& tz, const std::filesystem::path& etcDir);

class LinuxWallClock final : public WallClock {
public:
    // Without a watcher the clock only tells the time; without a bus there are no wake notifications.
    explicit LinuxWallClock(FdWatcher* watcher = nullptr, SystemBus* bus = nullptr,
                            std::filesystem::path etcDir = "/etc");
    ~LinuxWallClock() override;
    LinuxWallClock(const LinuxWallClock&) = delete;
    LinuxWallClock& operator=(const LinuxWallClock&) = delete;

    WallTime now() const override;
    std::string timeZone() const override { return zone_; }
    Signal<>& didWake() override { return didWake_; }
    Signal<>& clockChanged() override { return clockChanged_; }
    Signal<>& timeZoneChanged() override { return timeZoneChanged_; }

    // Reads the zone again and tells when it changed (the /etc watch calls it).
    void checkTimeZone();

private:
    bool armClockTimer();
    void clockTimerFired();
    void zoneWatchFired();
    void watchSleep(SystemBus& bus);

    FdWatcher* watcher_;
    std::filesystem::path etcDir_;
    std::string zone_;
    int clockTimer_ = -1;
    int zoneWatch_ = -1;
    struct SleepWatch;
    std::unique_ptr<SleepWatch> sleep_;
    Signal<> didWake_;
    Signal<> clockChanged_;
    Signal<> timeZoneChanged_;
};

} // namespace brivio
