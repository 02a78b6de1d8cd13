#include "platform/linux/SystemBus.h"

#include "base/Log.h"
#include "base/RealLoop.h"

#include <sys/epoll.h>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#else
namespace sdbus {
// Never made in a build without the library; complete only so that the owner can be destroyed.
class IConnection {
public:
    virtual ~IConnection() = default;
};
} // namespace sdbus
#endif

namespace brivio {

SystemBus::SystemBus(std::optional<std::string> address) : address_(std::move(address)) {}

#ifdef BRIVIO_HAVE_SDBUS
SystemBus::~SystemBus() {
    if (attached_ && connection_)
        attached_->unwatchFd(connection_->getEventLoopPollData().fd);
}

void SystemBus::attach(RealLoop& loop) {
    if (attached_ || !connection_ || !loop.valid())
        return;
    attached_ = &loop;
    auto* connection = connection_.get();
    auto drain = [connection] {
        try {
            while (connection->processPendingRequest()) {
            }
        } catch (const sdbus::Error& e) {
            logInfo(LogCategory::driver, "D-Bus: {}", e.getMessage());
        }
    };
    loop.watchFd(connection->getEventLoopPollData().fd, EPOLLIN, [drain](std::uint32_t) { drain(); });
    // Messages that arrived with earlier replies are already read and would wait for the next one.
    loop.post(drain);
}

sdbus::IConnection* SystemBus::connection() {
    if (!tried_) {
        tried_ = true;
        try {
            connection_ = address_ ? sdbus::createSessionBusConnectionWithAddress(*address_)
                                   : sdbus::createSystemBusConnection();
        } catch (const sdbus::Error& e) {
            logInfo(LogCategory::driver,
                    "D-Bus: the system bus is not running ({}) — backlight only where its file is writable, "
                    "no sleep notifications",
                    e.getMessage());
        }
    }
    return connection_.get();
}
#else
SystemBus::~SystemBus() = default;

void SystemBus::attach(RealLoop&) {}

sdbus::IConnection* SystemBus::connection() {
    if (!tried_) {
        tried_ = true;
        logInfo(LogCategory::driver, "D-Bus: this build has no D-Bus support — backlight only where its file "
                                     "is writable, no sleep notifications");
    }
    return nullptr;
}
#endif

} // namespace brivio
