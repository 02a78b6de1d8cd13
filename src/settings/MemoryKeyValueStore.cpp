#include "settings/MemoryKeyValueStore.h"

namespace brivio {

std::optional<StoredValue> MemoryKeyValueStore::get(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

void MemoryKeyValueStore::set(const std::string& key, StoredValue value) {
    values_[key] = std::move(value);
    ++writeCount_;
    changed.emit(key);
}

void MemoryKeyValueStore::remove(const std::string& key) {
    values_.erase(key);
    ++writeCount_;
    changed.emit(key);
}

void MemoryKeyValueStore::setElsewhere(const std::string& key, std::optional<StoredValue> value) {
    auto before = get(key);
    if (value)
        values_[key] = std::move(*value);
    else
        values_.erase(key);
    changed.emit(key);
    changedElsewhere.emit(key, before);
}

} // namespace brivio
