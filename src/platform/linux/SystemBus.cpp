#include "platform/linux/SystemBus.h"

#include "base/Log.h"

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
SystemBus::~SystemBus() = default;

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
