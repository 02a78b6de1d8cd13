#include "app/bus/AgentOnBus.h"

#include <poll.h>
#include <stdexcept>
#include <vector>

namespace brivio::testing {

bool FdPump::watchFd(int fd, std::uint32_t events, FdCallback callback) {
    if (watched_.count(fd))
        return false;
    watched_[fd] = {events, std::move(callback)};
    return true;
}

void FdPump::pump(std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds;
    for (const auto& [fd, watch] : watched_)
        fds.push_back({fd, static_cast<short>(watch.first), 0});
    if (::poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) <= 0)
        return;
    for (const auto& ready : fds) {
        auto it = watched_.find(ready.fd);
        if (ready.revents == 0 || it == watched_.end())
            continue;
        auto callback = it->second.second;
        callback(static_cast<std::uint32_t>(ready.revents));
    }
}

std::unique_ptr<AgentOnBus> AgentOnBus::start(const std::string& scenario, const std::string& busName,
                                              Serve when) {
    std::unique_ptr<AgentOnBus> agent(new AgentOnBus());
    agent->daemon_ = PrivateBus::start();
    if (!agent->daemon_)
        return nullptr;
    agent->scenario_ = sourceDir() + "/examples/" + scenario;
    agent->desk_ = SimDesk::fromFile(agent->loop_, agent->scenario_);
    agent->platform_ = std::make_unique<Platform>(agent->desk_->platform());
    agent->store_ = std::make_unique<FileKeyValueStore>(agent->loop_, agent->config_.path());
    agent->services_ = std::make_unique<AppServices>(*agent->platform_, *agent->store_);
    auto& loop = agent->loop_;
    auto serve = [&] {
        std::string error;
        agent->connection_ = bus::BusConnection::open(agent->daemon_->address(), error);
        if (!agent->connection_ ||
            agent->connection_->claim(busName, error) != bus::BusConnection::Claim::owned)
            throw std::runtime_error("the private bus did not give the agent its name: " + error);
        bus::AgentBusService::Options options;
        options.showPanel = [raw = agent.get()] { ++raw->panelShown; };
        agent->service_ = std::make_unique<bus::AgentBusService>(*agent->connection_, *agent->services_, loop,
                                                                 agent->pump_, options);
    };
    if (when == Serve::beforeEnumeration) {
        serve();
        agent->store_->watch(agent->pump_);
        return agent;
    }
    // As the app starts: the first enumeration, then everything it set off.
    while (agent->controller().enumerationCount() == 0 && loop.pendingCount() > 0) {
        loop.runUntilIdle();
        if (agent->controller().enumerationCount() == 0)
            loop.advance(loop.nextDue() - loop.now());
    }
    loop.runUntilSettled(std::chrono::minutes(1));
    serve();
    agent->store_->watch(agent->pump_);
    return agent;
}

AgentOnBus::~AgentOnBus() {
    service_.reset();
    connection_.reset();
    services_.reset();
}

bool AgentOnBus::serve(const std::function<bool()>& done, Duration virtualBudget,
                       std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        loop_.runUntilIdle();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        pump_.pump(std::chrono::milliseconds(virtualBudget > 0s ? 1 : 5));
        // Time moves only for work that waits on it (a DDC read, a power-off's second write).
        if (virtualBudget > 0s && loop_.pendingWorkCount() > 0) {
            Duration step = std::min<Duration>(10ms, virtualBudget);
            loop_.advance(step);
            virtualBudget -= step;
        }
    }
}

void AgentOnBus::advance(Duration d) {
    for (Duration left = d; left > 0s;) {
        Duration step = std::min<Duration>(10ms, left);
        pump_.pump(std::chrono::milliseconds(0));
        loop_.advance(step);
        left -= step;
    }
    serve([] { return true; });
}

BusClient::BusClient(AgentOnBus& agent, const std::string& busName) : agent_(agent) {
    std::string error;
    connection_ = bus::BusConnection::open(agent.busAddress(), error);
    if (!connection_)
        throw std::runtime_error("no private bus: " + error);
    proxy_ = sdbus::createProxy(connection_->connection(), busName, bus::objectPath);
    connection_->attach(agent.pump());
}

void BusClient::listen(const char* interface, const char* name, std::function<void(sdbus::Signal&)> read) {
    proxy_->registerSignalHandler(interface, name, [read = std::move(read)](sdbus::Signal& s) { read(s); });
    registered_ = false;
}

sdbus::MethodReply BusClient::send(const sdbus::MethodCall& message) {
    if (!registered_) {
        proxy_->finishRegistration();
        registered_ = true;
    }
    std::optional<sdbus::MethodReply> reply;
    std::optional<sdbus::Error> error;
    auto pending = proxy_->callMethod(message, [&](sdbus::MethodReply& r, const sdbus::Error* e) {
        if (e)
            error = *e;
        else
            reply = r;
    });
    connection_->processPending(); // sends what the connection queued
    if (!agent_.serve([&] { return reply || error; }, virtualBudget)) {
        // The answer must not reach this frame after it is gone.
        pending.cancel();
        throw std::runtime_error("the agent did not answer " + message.getMemberName() + " in time");
    }
    if (error)
        throw *error;
    return *reply;
}

} // namespace brivio::testing
