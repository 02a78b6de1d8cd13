#include "platform/linux/NotificationIndicator.h"

#include "base/Log.h"
#include "platform/linux/SystemBus.h"

#include <algorithm>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

namespace brivio {

#ifdef BRIVIO_HAVE_SDBUS
struct NotificationIndicator::Proxy {
    std::unique_ptr<sdbus::IProxy> proxy;
};
#else
struct NotificationIndicator::Proxy {};
#endif

NotificationIndicator::NotificationIndicator(SystemBus& bus) : bus_(bus) {}

NotificationIndicator::~NotificationIndicator() = default;

void NotificationIndicator::show(DisplayNumber, int filledChiclets, int totalChiclets, int msecUntilFade) {
#ifdef BRIVIO_HAVE_SDBUS
    if (!tried_) {
        tried_ = true;
        if (auto* connection = bus_.connection()) {
            try {
                proxy_ = std::make_unique<Proxy>();
                proxy_->proxy = sdbus::createProxy(*connection, "org.freedesktop.Notifications",
                                                   "/org/freedesktop/Notifications");
            } catch (const sdbus::Error& e) {
                proxy_.reset();
                logInfo(LogCategory::controller, "Indicator: no notifications ({})", e.getMessage());
            }
        }
    }
    if (!proxy_)
        return;
    const int total = std::max(totalChiclets, 1);
    const std::int32_t percent = std::clamp(filledChiclets, 0, total) * 100 / total;
    std::map<std::string, sdbus::Variant> hints{{"value", sdbus::Variant(percent)},
                                                {"transient", sdbus::Variant(true)}};
    try {
        // Not waited for: the reply (the id to replace next time) comes through the loop.
        proxy_->proxy->callMethodAsync("Notify")
            .onInterface("org.freedesktop.Notifications")
            .withArguments(std::string("Brivio"), id_, std::string("display-brightness-symbolic"),
                           std::string("Brightness"), fmt::format("{} %", percent),
                           std::vector<std::string>{}, hints,
                           static_cast<std::int32_t>(std::max(msecUntilFade, 0)))
            .uponReplyInvoke([this](const sdbus::Error* error, std::uint32_t id) {
                if (error)
                    logDebug(LogCategory::controller, "Indicator: {}", error->getMessage());
                else
                    id_ = id;
            });
    } catch (const sdbus::Error& e) {
        logDebug(LogCategory::controller, "Indicator: {}", e.getMessage());
    }
#else
    (void)bus_;
    (void)tried_;
    (void)filledChiclets;
    (void)totalChiclets;
    (void)msecUntilFade;
#endif
}

} // namespace brivio
