#pragma once
// One connection to the user's session bus, served on the main loop: incoming calls and signals are
// processed when its socket is readable, and replies that could not be sent at once go out as soon as
// the socket takes them. Both the agent and its clients use it.

#include "base/FdWatcher.h"

#include <memory>
#include <optional>
#include <string>

namespace sdbus {
class IConnection;
}

namespace brivio::bus {

class BusConnection {
public:
    // The session bus, or the one at `address` (a private bus in tests). Null, with the reason in
    // `error`, when there is none.
    static std::unique_ptr<BusConnection> open(const std::optional<std::string>& address, std::string& error);
    ~BusConnection(); // detaches from the watcher first
    BusConnection(const BusConnection&) = delete;
    BusConnection& operator=(const BusConnection&) = delete;

    sdbus::IConnection& connection() { return *connection_; }

    enum class Claim { owned, taken, failed };
    // Asks for `name` without queueing: `taken` when another connection owns it.
    Claim claim(const std::string& name, std::string& error);
    bool hasOwner(const std::string& name);

    // From now on `watcher` delivers this connection's messages on the main thread; what arrived
    // before (calls that waited while the agent started) is processed at once.
    void attach(FdWatcher& watcher);
    bool attached() const { return watcher_ != nullptr; }
    // Processes every message that is waiting; false when the connection broke.
    bool processPending();

private:
    explicit BusConnection(std::unique_ptr<sdbus::IConnection> connection);
    void rewatch();

    std::unique_ptr<sdbus::IConnection> connection_;
    FdWatcher* watcher_ = nullptr;
    int fd_ = -1;
    std::uint32_t watchedEvents_ = 0;
};

} // namespace brivio::bus
