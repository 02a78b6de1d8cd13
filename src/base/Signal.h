#pragma once
// A list of subscribers notified synchronously on the main thread (observable properties, events).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace brivio {

template <typename... Args> class Signal {
public:
    using Slot = std::function<void(Args...)>;

    // The subscription ends when the returned token is destroyed.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(std::weak_ptr<std::map<std::uint64_t, Slot>> slots, std::uint64_t id)
            : slots_(std::move(slots)), id_(id) {}
        Subscription(Subscription&& o) noexcept : slots_(std::move(o.slots_)), id_(o.id_) {
            o.slots_.reset();
        }
        Subscription& operator=(Subscription&& o) noexcept {
            if (this != &o) {
                reset();
                slots_ = std::move(o.slots_);
                id_ = o.id_;
                o.slots_.reset();
            }
            return *this;
        }
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription() { reset(); }
        void reset() {
            if (auto s = slots_.lock())
                s->erase(id_);
            slots_.reset();
        }

    private:
        std::weak_ptr<std::map<std::uint64_t, Slot>> slots_;
        std::uint64_t id_ = 0;
    };

    [[nodiscard]] Subscription subscribe(Slot slot) {
        auto id = nextId_++;
        slots_->emplace(id, std::move(slot));
        return Subscription(slots_, id);
    }

    void emit(Args... args) const {
        // Subscribers may unsubscribe (or subscribe) while being notified.
        auto snapshot = *slots_;
        for (auto& [id, slot] : snapshot)
            if (slots_->count(id))
                slot(args...);
    }

    std::size_t size() const { return slots_->size(); }

private:
    std::shared_ptr<std::map<std::uint64_t, Slot>> slots_ = std::make_shared<std::map<std::uint64_t, Slot>>();
    std::uint64_t nextId_ = 1;
};

} // namespace brivio
