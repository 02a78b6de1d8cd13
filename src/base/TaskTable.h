#pragma once
// At most one task per display and purpose: starting one cancels its predecessor.

#include "base/Task.h"

#include <map>
#include <string>

namespace brivio {

class TaskTable {
public:
    explicit TaskTable(MainLoop& loop) : loop_(loop) {}
    ~TaskTable() { cancelAll(); }
    TaskTable(const TaskTable&) = delete;
    TaskTable& operator=(const TaskTable&) = delete;

    // Cancels the task already running under (key, purpose), then spawns `task` there.
    TaskHandle start(const std::string& key, const std::string& purpose, Task<void> task,
                     std::weak_ptr<void> owner);
    void cancel(const std::string& key, const std::string& purpose);
    void cancelKey(const std::string& key);
    void cancelAll();
    bool running(const std::string& key, const std::string& purpose) const;
    std::size_t runningCount() const;

private:
    using Slot = std::pair<std::string, std::string>;
    MainLoop& loop_;
    std::map<Slot, TaskHandle> tasks_;
    std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

} // namespace brivio
