#include "app/AgentSocket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace brivio {

namespace {

constexpr int timeoutMs = 1000;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

std::string agentSocketPath() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
        return std::string(runtime) + "/brivio.sock";
    const char* temp = std::getenv("TMPDIR");
    std::string dir = temp && temp[0] == '/' ? temp : "/tmp";
    return dir + "/brivio-" + std::to_string(::getuid()) + ".sock";
}

bool sendToAgent(std::string_view request, const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0 ||
        ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return false;
    std::string line(request);
    line += '\n';
    for (std::size_t sent = 0; sent < line.size();) {
        ssize_t n = ::send(socket.get(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    // The agent closes once it has read the request; a hung agent does not hang the caller.
    pollfd watch{socket.get(), POLLIN, 0};
    char buffer[64];
    while (::poll(&watch, 1, timeoutMs) > 0) {
        ssize_t n = ::recv(socket.get(), buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR))
            break;
    }
    return true;
}

} // namespace brivio
