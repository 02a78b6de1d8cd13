#include "platform/linux/SystemBus.h"

#include "base/FdWatcher.h"
#include "base/Log.h"

#include <cstdint>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#else
namespace sdbus {
// Never made in a build without the library; complete only so that the owner can be destroyed.
class IConnection {
public:
    virtual ~IConnection() = default;
};
} // namespace sdbus
#endif

namespace brivio {

namespace {

[[maybe_unused]] const char* busName(BusKind kind) {
    return kind == BusKind::system ? "system" : "session";
}

} // namespace

SystemBus::SystemBus(std::optional<std::string> address, BusKind kind)
    : address_(std::move(address)), kind_(kind) {}

#ifdef BRIVIO_HAVE_SDBUS
SystemBus::~SystemBus() {
    if (attached_ && connection_)
        attached_->unwatchFd(connection_->getEventLoopPollData().fd);
    if (kickFd_ >= 0) {
        if (attached_)
            attached_->unwatchFd(kickFd_);
        ::close(kickFd_);
    }
}

void SystemBus::drain() {
    if (!connection_)
        return;
    try {
        while (connection_->processPendingRequest()) {
        }
    } catch (const sdbus::Error& e) {
        logInfo(LogCategory::driver, "D-Bus: {}", e.getMessage());
    }
}

void SystemBus::attach(FdWatcher& watcher) {
    if (attached_ || !connection_)
        return;
    if (!watcher.watchFd(connection_->getEventLoopPollData().fd, EPOLLIN, [this](std::uint32_t) { drain(); }))
        return;
    attached_ = &watcher;
    kickFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (kickFd_ >= 0 && !watcher.watchFd(kickFd_, EPOLLIN, [this](std::uint32_t) {
            std::uint64_t count = 0;
            [[maybe_unused]] auto n = ::read(kickFd_, &count, sizeof count);
            drain();
        })) {
        ::close(kickFd_);
        kickFd_ = -1;
    }
    // Messages that arrived with earlier replies are already read and would wait for the next one.
    drainSoon();
}

void SystemBus::drainSoon() {
    if (kickFd_ < 0)
        return;
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(kickFd_, &one, sizeof one);
}

sdbus::IConnection* SystemBus::connection() {
    if (!tried_) {
        tried_ = true;
        try {
            if (address_)
                connection_ = sdbus::createSessionBusConnectionWithAddress(*address_);
            else if (kind_ == BusKind::system)
                connection_ = sdbus::createSystemBusConnection();
            else
                connection_ = sdbus::createSessionBusConnection();
        } catch (const sdbus::Error& e) {
            if (kind_ == BusKind::system)
                logInfo(LogCategory::driver,
                        "D-Bus: the system bus is not running ({}) — backlight only where its file is "
                        "writable, no sleep notifications, no location",
                        e.getMessage());
            else
                logInfo(LogCategory::driver, "D-Bus: no session bus ({}) — no brightness notifications",
                        e.getMessage());
        }
    }
    return connection_.get();
}
#else
SystemBus::~SystemBus() = default;

void SystemBus::drain() {}
void SystemBus::attach(FdWatcher&) {}
void SystemBus::drainSoon() {}

sdbus::IConnection* SystemBus::connection() {
    if (!tried_) {
        tried_ = true;
        logInfo(LogCategory::driver,
                "D-Bus: this build has no D-Bus support ({} bus) — backlight only where "
                "its file is writable, no sleep notifications",
                busName(kind_));
    }
    return nullptr;
}
#endif

} // namespace brivio
