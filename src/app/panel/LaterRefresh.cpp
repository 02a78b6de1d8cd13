#include "app/panel/LaterRefresh.h"

#include <QTimer>

namespace brivio {

LaterRefresh::LaterRefresh(QObject* owner, std::function<void()> refresh)
    : QObject(owner), refresh_(std::move(refresh)) {}

void LaterRefresh::watch(Signal<>& signal) {
    subscriptions_.push_back(signal.subscribe([this] { request(); }));
}

void LaterRefresh::request() {
    if (pending_)
        return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] {
        pending_ = false;
        refresh_();
    });
}

} // namespace brivio
