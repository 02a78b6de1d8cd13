#include "support/PrivateBus.h"

#include <csignal>
#include <cstdio>
#include <string>

namespace brivio::testing {

std::unique_ptr<PrivateBus> PrivateBus::start() {
    FILE* out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
    if (!out)
        return nullptr;
    char line[512];
    std::string address, pid;
    if (std::fgets(line, sizeof line, out))
        address = line;
    if (std::fgets(line, sizeof line, out))
        pid = line;
    ::pclose(out);
    while (!address.empty() && (address.back() == '\n' || address.back() == ' '))
        address.pop_back();
    if (address.empty() || pid.empty())
        return nullptr;
    return std::unique_ptr<PrivateBus>(new PrivateBus(address, static_cast<pid_t>(std::stol(pid))));
}

PrivateBus::~PrivateBus() {
    ::kill(pid_, SIGTERM);
}

} // namespace brivio::testing
