#include "app/bus/AgentClient.h"

#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>

namespace brivio::bus {

std::unique_ptr<AgentClient>
AgentClient::find(const std::string& name, const std::optional<std::string>& address, std::string& whyNot) {
    auto bus = BusConnection::open(address, whyNot);
    if (!bus)
        return nullptr;
    // Asked first, so that a call never starts an agent that the bus could activate.
    if (!bus->hasOwner(name)) {
        whyNot = "no agent owns " + name;
        return nullptr;
    }
    return std::unique_ptr<AgentClient>(new AgentClient(std::move(bus), name));
}

AgentClient::AgentClient(std::unique_ptr<BusConnection> bus, const std::string& name)
    : bus_(std::move(bus)), proxy_(sdbus::createProxy(bus_->connection(), name, objectPath)) {}

void AgentClient::onSignal(const char* interface, const char* name,
                           std::function<void(sdbus::Signal&)> handler) {
    proxy_->registerSignalHandler(interface, name,
                                  [handler = std::move(handler)](sdbus::Signal& signal) { handler(signal); });
    registered_ = false;
}

bool AgentClient::waitUntil(const std::function<bool()>& done, Duration limit) {
    if (!registered_) {
        proxy_->finishRegistration();
        registered_ = true;
    }
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (!bus_->processPending())
            return false;
        if (done())
            return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        auto data = bus_->connection().getEventLoopPollData();
        pollfd watch{data.fd, data.events, 0};
        ::poll(&watch, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    }
    return true;
}

} // namespace brivio::bus
