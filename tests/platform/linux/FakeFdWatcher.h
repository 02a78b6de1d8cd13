#pragma once
// An fd watcher whose readiness the test announces itself.

#include "base/FdWatcher.h"

#include <map>

namespace brivio::testing {

class FakeFdWatcher final : public FdWatcher {
public:
    bool watchFd(int fd, std::uint32_t, FdCallback callback) override {
        return callbacks.emplace(fd, std::move(callback)).second;
    }
    void unwatchFd(int fd) override { callbacks.erase(fd); }
    void ready(int fd) {
        if (auto it = callbacks.find(fd); it != callbacks.end())
            it->second(1);
    }
    std::map<int, FdCallback> callbacks;
};

} // namespace brivio::testing
