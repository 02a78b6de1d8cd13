#pragma once
// Readiness of file descriptors delivered on the main thread: the part of an event loop that the
// desktop's sockets (udev, D-Bus, X11) and kernel notifications need, so any loop can drive them.

#include <cstdint>
#include <functional>

namespace brivio {

class FdWatcher {
public:
    using FdCallback = std::function<void(std::uint32_t events)>;

    virtual ~FdWatcher() = default;
    // Calls `callback` on the main thread whenever `fd` is ready for `events` (EPOLLIN and friends).
    // False when the fd cannot be watched.
    virtual bool watchFd(int fd, std::uint32_t events, FdCallback callback) = 0;
    // Unwatching an fd that is not watched is harmless.
    virtual void unwatchFd(int fd) = 0;
};

} // namespace brivio
