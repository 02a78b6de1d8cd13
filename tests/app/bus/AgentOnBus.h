#pragma once
// The agent's bus service on a simulated desk, exported on a private session bus that the test starts:
// the desk's time moves only when the test says so, the bus sockets are served for real, and every
// wait for the bus has a time limit.

#include "app/AppServices.h"
#include "app/bus/AgentBusService.h"
#include "app/bus/BusNames.h"
#include "base/VirtualLoop.h"
#include "platform/sim/SimDesk.h"
#include "settings/FileKeyValueStore.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sdbus-c++/sdbus-c++.h>
#include <string>

namespace brivio::testing {

// File descriptors watched by polling them when asked, for a loop whose clock is virtual.
class FdPump final : public FdWatcher {
public:
    bool watchFd(int fd, std::uint32_t events, FdCallback callback) override;
    void unwatchFd(int fd) override { watched_.erase(fd); }
    // Waits up to `timeout` for a watched descriptor and runs the callbacks of the ready ones.
    void pump(std::chrono::milliseconds timeout);

private:
    std::map<int, std::pair<std::uint32_t, FdCallback>> watched_;
};

class AgentOnBus {
public:
    // Where the service starts: once the desk has settled, or at once, as the app starts it.
    enum class Serve { whenSettled, beforeEnumeration };
    // Null when no dbus-daemon can be started (the caller skips). `scenario` is a file of examples/.
    static std::unique_ptr<AgentOnBus> start(const std::string& scenario,
                                             const std::string& busName = bus::serviceName,
                                             Serve when = Serve::whenSettled);
    ~AgentOnBus();

    // Serves the sockets and the work due on the loop until `done` holds; false after `limit` of real
    // time. Virtual time moves on by `virtualBudget` at most meanwhile, in 10 ms steps.
    bool serve(const std::function<bool()>& done, Duration virtualBudget = 0s,
               std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    // Moves the desk's time on by `d`, serving the sockets in between.
    void advance(Duration d);

    std::string busAddress() const { return daemon_->address(); }
    std::string scenarioPath() const { return scenario_; }
    std::string configDir() const { return config_.path(); }
    SimDesk& desk() { return *desk_; }
    AppServices& services() { return *services_; }
    BrivioPreferences& preferences() { return services_->preferences(); }
    DisplayController& controller() { return services_->controller(); }
    FileKeyValueStore& store() { return *store_; }
    FdPump& pump() { return pump_; }
    VirtualLoop& loop() { return loop_; }
    int panelShown = 0;

private:
    AgentOnBus() = default;

    std::unique_ptr<PrivateBus> daemon_;
    TempDir config_;
    std::string scenario_;
    VirtualLoop loop_;
    FdPump pump_;
    std::unique_ptr<SimDesk> desk_;
    std::unique_ptr<Platform> platform_;
    std::unique_ptr<FileKeyValueStore> store_;
    std::unique_ptr<AppServices> services_;
    std::unique_ptr<bus::BusConnection> connection_;
    std::unique_ptr<bus::AgentBusService> service_;
};

// A client of the agent on the same bus, served by the agent's pump, so that one thread does both.
class BusClient {
public:
    explicit BusClient(AgentOnBus& agent, const std::string& busName = bus::serviceName);

    // Calls and serves until the answer; throws sdbus::Error when the agent refuses.
    template <typename... Args>
    sdbus::MethodReply call(const char* interface, const char* method, const Args&... args) {
        auto message = proxy_->createMethodCall(interface, method);
        if constexpr (sizeof...(Args) > 0)
            (message << ... << args);
        return send(message);
    }
    template <typename Result, typename... Args>
    Result get(const char* interface, const char* method, const Args&... args) {
        Result result{};
        auto reply = call(interface, method, args...);
        reply >> result;
        return result;
    }
    // The error name of a call the agent must refuse ("" when it did not).
    template <typename... Args>
    std::string refusal(const char* interface, const char* method, const Args&... args) {
        try {
            call(interface, method, args...);
        } catch (const sdbus::Error& e) {
            return e.getName();
        }
        return "";
    }
    // Keeps every signal of that name, its arguments read by `read`.
    void listen(const char* interface, const char* name, std::function<void(sdbus::Signal&)> read);
    // Virtual time the next calls may move on while waiting for the answer.
    Duration virtualBudget = 0s;

private:
    sdbus::MethodReply send(const sdbus::MethodCall& message);

    AgentOnBus& agent_;
    std::unique_ptr<bus::BusConnection> connection_;
    std::unique_ptr<sdbus::IProxy> proxy_;
    bool registered_ = false;
};

} // namespace brivio::testing
