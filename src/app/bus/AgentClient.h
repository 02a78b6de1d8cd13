#pragma once
// A client of the running agent over the session bus: the command line's way to the displays while
// the agent owns them, and a second launch's way to open the first one's panel. Calls block until the
// agent answers or `callTimeout` passes; a refusal comes back as the agent's named error.

#include "app/bus/BusConnection.h"
#include "app/bus/BusNames.h"
#include "base/Time.h"

#include <functional>
#include <memory>
#include <optional>
#include <sdbus-c++/IProxy.h>
#include <sdbus-c++/Message.h>
#include <string>

namespace brivio::bus {

class AgentClient {
public:
    // Longer than any request the agent serves (a DDC read with its retries is well under a second).
    static constexpr Duration callTimeout = 10s;

    // The agent that owns `name` on the session bus (or the bus at `address`); null when none does or
    // there is no bus, with the reason in `whyNot`.
    static std::unique_ptr<AgentClient> find(const std::string& name,
                                             const std::optional<std::string>& address, std::string& whyNot);

    // Calls `method`; throws sdbus::Error with the agent's error name and message when it refuses.
    template <typename... Args>
    sdbus::MethodReply call(const char* interface, const char* method, const Args&... args) {
        auto message = proxy_->createMethodCall(interface, method);
        if constexpr (sizeof...(Args) > 0)
            (message << ... << args);
        return proxy_->callMethod(message,
                                  std::chrono::duration_cast<std::chrono::microseconds>(callTimeout).count());
    }
    template <typename Result, typename... Args>
    Result get(const char* interface, const char* method, const Args&... args) {
        Result result{};
        auto reply = call(interface, method, args...);
        reply >> result;
        return result;
    }

    // Delivers the agent's signal to `handler` while `waitUntil` runs. Register before the call that
    // causes it.
    void onSignal(const char* interface, const char* name, std::function<void(sdbus::Signal&)> handler);
    // Processes incoming signals until `done` holds or `limit` passes; false on time out.
    bool waitUntil(const std::function<bool()>& done, Duration limit);

private:
    AgentClient(std::unique_ptr<BusConnection> bus, const std::string& name);

    std::unique_ptr<BusConnection> bus_;
    std::unique_ptr<sdbus::IProxy> proxy_;
    bool registered_ = false;
};

} // namespace brivio::bus
