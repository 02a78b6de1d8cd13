#pragma once
// A D-Bus daemon of the test's own, so that calls to logind and friends reach small stand-ins instead
// of the machine's services. Absent when no dbus-daemon is installed.

#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

namespace brivio::testing {

class PrivateBus {
public:
    static std::unique_ptr<PrivateBus> start();
    ~PrivateBus();
    const std::string& address() const { return address_; }

private:
    PrivateBus(std::string address, pid_t pid) : address_(std::move(address)), pid_(pid) {}
    std::string address_;
    pid_t pid_;
};

} // namespace brivio::testing
