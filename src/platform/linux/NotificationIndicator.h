#pragma once
// The brightness indicator as a desktop notification with a level bar: one notification that each
// step replaces, over the session bus. Without a session bus it shows nothing.

#include "platform/BrightnessIndicator.h"

#include <cstdint>
#include <memory>

namespace brivio {

class SystemBus;

class NotificationIndicator final : public BrightnessIndicator {
public:
    // `bus` is the session bus; it must outlive the indicator.
    explicit NotificationIndicator(SystemBus& bus);
    ~NotificationIndicator() override;

    void show(DisplayNumber display, int filledChiclets, int totalChiclets, int msecUntilFade) override;

    // The id the server gave the notification on screen; 0 before the first reply.
    std::uint32_t notificationId() const { return id_; }

private:
    struct Proxy;
    SystemBus& bus_;
    std::unique_ptr<Proxy> proxy_;
    bool tried_ = false;
    std::uint32_t id_ = 0;
};

} // namespace brivio
