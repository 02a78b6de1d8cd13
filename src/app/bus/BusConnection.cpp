#include "app/bus/BusConnection.h"

#include "base/Log.h"

#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <sys/epoll.h>

namespace brivio::bus {

std::unique_ptr<BusConnection> BusConnection::open(const std::optional<std::string>& address,
                                                   std::string& error) {
    try {
        auto connection = address ? sdbus::createSessionBusConnectionWithAddress(*address)
                                  : sdbus::createSessionBusConnection();
        return std::unique_ptr<BusConnection>(new BusConnection(std::move(connection)));
    } catch (const sdbus::Error& e) {
        error = e.getMessage();
        return nullptr;
    }
}

BusConnection::BusConnection(std::unique_ptr<sdbus::IConnection> connection)
    : connection_(std::move(connection)) {}

BusConnection::~BusConnection() {
    if (watcher_ && fd_ >= 0)
        watcher_->unwatchFd(fd_);
}

BusConnection::Claim BusConnection::claim(const std::string& name, std::string& error) {
    try {
        connection_->requestName(name);
        return Claim::owned;
    } catch (const sdbus::Error& e) {
        if (hasOwner(name))
            return Claim::taken;
        error = e.getMessage();
        return Claim::failed;
    }
}

bool BusConnection::hasOwner(const std::string& name) {
    try {
        auto daemon = sdbus::createProxy(*connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        bool owned = false;
        daemon->callMethod("NameHasOwner")
            .onInterface("org.freedesktop.DBus")
            .withArguments(name)
            .storeResultsTo(owned);
        return owned;
    } catch (const sdbus::Error&) {
        return false;
    }
}

void BusConnection::attach(FdWatcher& watcher) {
    if (watcher_)
        return;
    watcher_ = &watcher;
    fd_ = connection_->getEventLoopPollData().fd;
    processPending();
}

bool BusConnection::processPending() {
    bool alive = true;
    try {
        while (connection_->processPendingRequest()) {
        }
    } catch (const sdbus::Error& e) {
        logInfo(LogCategory::AppDelegate, "D-Bus: {}", e.getMessage());
        alive = false;
    }
    rewatch();
    return alive;
}

void BusConnection::rewatch() {
    if (!watcher_ || fd_ < 0)
        return;
    // Output waits in the connection while the socket is full; then writability matters too.
    auto poll = connection_->getEventLoopPollData();
    std::uint32_t events = EPOLLIN | ((poll.events & POLLOUT) ? EPOLLOUT : 0u);
    if (events == watchedEvents_)
        return;
    if (watchedEvents_)
        watcher_->unwatchFd(fd_);
    watchedEvents_ = events;
    if (!watcher_->watchFd(fd_, events, [this](std::uint32_t) { processPending(); }))
        watchedEvents_ = 0;
}

} // namespace brivio::bus
