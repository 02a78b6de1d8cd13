#pragma once
// Readiness of file descriptors (udev, D-Bus, X11) delivered on the main loop, whichever loop runs it.

#include <cstdint>
#include <functional>

namespace brivio {

class FdWatcher {
public:
    using FdCallback = std::function<void(std::uint32_t events)>;

    virtual ~FdWatcher() = default;
    // Calls `callback` on the loop whenever `fd` is ready for `events` (EPOLLIN and friends).
    virtual bool watchFd(int fd, std::uint32_t events, FdCallback callback) = 0;
    virtual void unwatchFd(int fd) = 0;
};

} // namespace brivio
