#include "base/TaskTable.h"

namespace brivio {

TaskHandle TaskTable::start(const std::string& key, const std::string& purpose, Task<void> task,
                            std::weak_ptr<void> owner) {
    Slot slot{key, purpose};
    if (auto it = tasks_.find(slot); it != tasks_.end())
        it->second.cancel();
    TaskHandle handle = spawn(loop_, std::move(task), std::move(owner));
    tasks_[slot] = handle;
    return handle;
}

void TaskTable::cancel(const std::string& key, const std::string& purpose) {
    if (auto it = tasks_.find(Slot{key, purpose}); it != tasks_.end()) {
        TaskHandle handle = it->second;
        tasks_.erase(it);
        handle.cancel();
    }
}

void TaskTable::cancelKey(const std::string& key) {
    for (auto it = tasks_.begin(); it != tasks_.end();) {
        if (it->first.first == key) {
            TaskHandle handle = it->second;
            it = tasks_.erase(it);
            handle.cancel();
        } else {
            ++it;
        }
    }
}

void TaskTable::cancelAll() {
    auto tasks = std::move(tasks_);
    tasks_.clear();
    for (auto& [slot, handle] : tasks)
        handle.cancel();
}

bool TaskTable::running(const std::string& key, const std::string& purpose) const {
    auto it = tasks_.find(Slot{key, purpose});
    return it != tasks_.end() && it->second.running();
}

std::size_t TaskTable::runningCount() const {
    std::size_t n = 0;
    for (auto& [slot, handle] : tasks_)
        n += handle.running() ? 1 : 0;
    return n;
}

} // namespace brivio
