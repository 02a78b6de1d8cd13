#pragma once
// Weak references to long-lived objects on the main thread: a task or callback holds one and finds the
// object gone instead of touching freed memory. Declare the factory as the owner's last member.

#include <memory>

namespace brivio {

template <typename T> class WeakPtr {
public:
    WeakPtr() = default;
    WeakPtr(T* object, std::weak_ptr<void> alive) : object_(object), alive_(std::move(alive)) {}

    T* get() const { return alive_.expired() ? nullptr : object_; }
    explicit operator bool() const { return get() != nullptr; }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    const std::weak_ptr<void>& token() const { return alive_; }

private:
    T* object_ = nullptr;
    std::weak_ptr<void> alive_;
};

template <typename T> class WeakPtrFactory {
public:
    explicit WeakPtrFactory(T* object) : object_(object) {}
    WeakPtrFactory(const WeakPtrFactory&) = delete;
    WeakPtrFactory& operator=(const WeakPtrFactory&) = delete;

    WeakPtr<T> weak() const { return WeakPtr<T>(object_, alive_); }
    // What tasks watch to end quietly once the owner is gone.
    std::weak_ptr<void> token() const { return alive_; }
    void invalidate() { alive_ = std::make_shared<char>(0); }

private:
    T* object_;
    std::shared_ptr<void> alive_ = std::make_shared<char>(0);
};

} // namespace brivio
