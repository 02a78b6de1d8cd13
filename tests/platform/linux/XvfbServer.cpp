#include "platform/linux/XvfbServer.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brivio::testing {

std::unique_ptr<XvfbServer> XvfbServer::start() {
    int fds[2];
    if (::pipe(fds) != 0)
        return nullptr;
    pid_t pid = ::fork();
    if (pid < 0)
        return nullptr;
    if (pid == 0) {
        // The server writes the display number it chose to fd 3, then serves.
        ::dup2(fds[1], 3);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (number.empty()) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return nullptr;
    }
    return std::unique_ptr<XvfbServer>(new XvfbServer(":" + number, pid));
}

XvfbServer::~XvfbServer() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

} // namespace brivio::testing
