#pragma once
// The connection to the system D-Bus (logind, location), made on first use. When the bus is not
// running, that is said once and every later use finds no connection without trying again.

#include <memory>
#include <optional>
#include <string>

namespace sdbus {
class IConnection;
}

namespace brivio {

class RealLoop;

class SystemBus {
public:
    // `address` replaces the system bus (a private bus in tests, "unix:path=...").
    explicit SystemBus(std::optional<std::string> address = std::nullopt);
    ~SystemBus(); // detaches from the loop first
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;

    // Null when there is no bus (or this build has no D-Bus support).
    sdbus::IConnection* connection();
    bool tried() const { return tried_; }
    // Lets `loop` deliver the bus's signals; once, and only when connected.
    void attach(RealLoop& loop);

private:
    std::optional<std::string> address_;
    std::unique_ptr<sdbus::IConnection> connection_;
    bool tried_ = false;
    RealLoop* attached_ = nullptr;
};

} // namespace brivio
