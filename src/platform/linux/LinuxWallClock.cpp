#include "platform/linux/LinuxWallClock.h"

#include "base/FdWatcher.h"
#include "base/Log.h"
#include "platform/linux/SysfsFiles.h"
#include "platform/linux/SystemBus.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

namespace brivio {

namespace {

// "…/zoneinfo/Europe/Berlin" gives "Europe/Berlin"; "posix/" and "right/" variants name the same zone.
std::optional<std::string> zoneFromPath(const std::string& path) {
    constexpr std::string_view marker = "zoneinfo/";
    auto at = path.rfind(marker);
    if (at == std::string::npos)
        return std::nullopt;
    std::string zone = path.substr(at + marker.size());
    for (std::string_view prefix : {"posix/", "right/"})
        if (zone.starts_with(prefix))
            zone = zone.substr(prefix.size());
    if (zone.empty())
        return std::nullopt;
    return zone;
}

} // namespace

std::string resolveTimeZone(const std::optional<std::string>& tz, const std::filesystem::path& etcDir) {
    if (tz && !tz->empty()) {
        std::string value = tz->front() == ':' ? tz->substr(1) : *tz;
        if (!value.empty() && value.front() == '/') {
            if (auto zone = zoneFromPath(value))
                return *zone;
        } else if (!value.empty()) {
            return value;
        }
    }
    std::error_code ec;
    auto target = std::filesystem::read_symlink(etcDir / "localtime", ec);
    if (!ec)
        if (auto zone = zoneFromPath(target.string()))
            return *zone;
    if (auto name = sysfs::readLine(etcDir / "timezone"); name && !name->empty())
        return *name;
    return "UTC";
}

#ifdef BRIVIO_HAVE_SDBUS
struct LinuxWallClock::SleepWatch {
    std::unique_ptr<sdbus::IProxy> proxy;
};
#else
struct LinuxWallClock::SleepWatch {};
#endif

LinuxWallClock::LinuxWallClock(FdWatcher* watcher, SystemBus* bus, std::filesystem::path etcDir)
    : watcher_(watcher), etcDir_(std::move(etcDir)) {
    const char* tz = std::getenv("TZ");
    zone_ = resolveTimeZone(tz ? std::optional<std::string>(tz) : std::nullopt, etcDir_);
    if (!watcher_)
        return;
    if (armClockTimer())
        watcher_->watchFd(clockTimer_, EPOLLIN, [this](std::uint32_t) { clockTimerFired(); });
    zoneWatch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (zoneWatch_ >= 0 && ::inotify_add_watch(zoneWatch_, etcDir_.c_str(),
                                               IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE) >= 0)
        watcher_->watchFd(zoneWatch_, EPOLLIN, [this](std::uint32_t) { zoneWatchFired(); });
    if (bus)
        watchSleep(*bus);
}

LinuxWallClock::~LinuxWallClock() {
    sleep_.reset();
    for (int fd : {clockTimer_, zoneWatch_}) {
        if (fd < 0)
            continue;
        if (watcher_)
            watcher_->unwatchFd(fd);
        ::close(fd);
    }
}

WallTime LinuxWallClock::now() const {
    return std::chrono::system_clock::now();
}

bool LinuxWallClock::armClockTimer() {
    if (clockTimer_ < 0)
        clockTimer_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (clockTimer_ < 0)
        return false;
    // An absolute time far away: it never fires, but setting the clock cancels it, which is the news.
    itimerspec far{};
    far.it_value.tv_sec = std::numeric_limits<time_t>::max() / 2;
    if (::timerfd_settime(clockTimer_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr) != 0) {
        logInfo(LogCategory::detection, "Clock: no clock-change notifications ({})", std::strerror(errno));
        return false;
    }
    return true;
}

void LinuxWallClock::clockTimerFired() {
    std::uint64_t expirations = 0;
    const ssize_t n = ::read(clockTimer_, &expirations, sizeof expirations);
    if (n < 0 && errno == EAGAIN)
        return;
    // ECANCELED: the clock was set. The timer must be armed again either way.
    armClockTimer();
    if (n < 0 && errno != ECANCELED)
        return;
    clockChanged_.emit();
    checkTimeZone();
}

void LinuxWallClock::zoneWatchFired() {
    alignas(inotify_event) char buffer[4096];
    bool relevant = false;
    ssize_t n;
    while ((n = ::read(zoneWatch_, buffer, sizeof buffer)) > 0)
        for (char* p = buffer; p < buffer + n;) {
            auto event = reinterpret_cast<inotify_event*>(p);
            std::string_view name = event->len ? event->name : "";
            relevant = relevant || name == "localtime" || name == "timezone";
            p += sizeof(inotify_event) + event->len;
        }
    if (relevant)
        checkTimeZone();
}

void LinuxWallClock::checkTimeZone() {
    const char* tz = std::getenv("TZ");
    std::string zone = resolveTimeZone(tz ? std::optional<std::string>(tz) : std::nullopt, etcDir_);
    if (zone == zone_)
        return;
    logInfo(LogCategory::detection, "Clock: time zone changed from {} to {}", zone_, zone);
    zone_ = std::move(zone);
    timeZoneChanged_.emit();
}

void LinuxWallClock::watchSleep(SystemBus& bus) {
#ifdef BRIVIO_HAVE_SDBUS
    auto connection = bus.connection();
    if (!connection)
        return;
    try {
        sleep_ = std::make_unique<SleepWatch>();
        sleep_->proxy = sdbus::createProxy(*connection, "org.freedesktop.login1", "/org/freedesktop/login1");
        sleep_->proxy->uponSignal("PrepareForSleep")
            .onInterface("org.freedesktop.login1.Manager")
            .call([this](bool start) {
                if (!start)
                    didWake_.emit();
            });
        sleep_->proxy->finishRegistration();
        bus.attach(*watcher_);
    } catch (const sdbus::Error& e) {
        sleep_.reset();
        logInfo(LogCategory::detection, "Clock: no wake notifications ({})", e.getMessage());
    }
#else
    (void)bus;
#endif
}

} // namespace brivio
