#pragma once
// A connection to the system D-Bus (logind, location) or the user's session bus (notifications),
// made on first use. When the bus is not running, that is said once and every later use finds no
// connection without trying again.

#include <memory>
#include <optional>
#include <string>

namespace sdbus {
class IConnection;
}

namespace brivio {

class FdWatcher;

enum class BusKind { system, session };

class SystemBus {
public:
    // `address` replaces the bus of that kind (a private bus in tests, "unix:path=...").
    explicit SystemBus(std::optional<std::string> address = std::nullopt, BusKind kind = BusKind::system);
    ~SystemBus(); // detaches from the watcher first
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;

    // Null when there is no bus (or this build has no D-Bus support).
    sdbus::IConnection* connection();
    bool tried() const { return tried_; }
    // Lets `watcher` deliver the bus's signals and replies; once, and only when connected.
    void attach(FdWatcher& watcher);
    // Delivers, soon and on the main thread, messages that a blocking call read along with its reply:
    // they wait in the connection, and the socket will not say so. Call after every blocking call.
    void drainSoon();

private:
    void drain();

    std::optional<std::string> address_;
    BusKind kind_;
    std::unique_ptr<sdbus::IConnection> connection_;
    bool tried_ = false;
    FdWatcher* attached_ = nullptr;
    int kickFd_ = -1;
};

} // namespace brivio
