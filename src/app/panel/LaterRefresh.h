#pragma once
// Redraws a view once after any number of model notifications. The preferences announce a change
// before making it, so a view reads them on the next turn of the event loop, not in the notification.

#include "base/Signal.h"

#include <QObject>
#include <functional>
#include <vector>

namespace brivio {

class LaterRefresh : public QObject {
public:
    LaterRefresh(QObject* owner, std::function<void()> refresh);

    // Every emission of `signal` asks for one refresh; the subscription lives as long as this object.
    void watch(Signal<>& signal);
    void request();

private:
    std::function<void()> refresh_;
    std::vector<Signal<>::Subscription> subscriptions_;
    bool pending_ = false;
};

} // namespace brivio
