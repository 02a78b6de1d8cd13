#pragma once
// A key-value store held only in memory, for tests and for runs that must not touch the disk.

#include "settings/KeyValueStore.h"

namespace brivio {

// Keeps everything in memory; counts writes so tests can tell that nothing was written.
class MemoryKeyValueStore final : public KeyValueStore {
public:
    std::optional<StoredValue> get(const std::string& key) const override;
    void set(const std::string& key, StoredValue value) override;
    void remove(const std::string& key) override;
    // Plays another process changing the key (absent: removing it), as a watched file would report.
    void setElsewhere(const std::string& key, std::optional<StoredValue> value);

    const std::map<std::string, StoredValue>& values() const { return values_; }
    // Sets and removes since construction.
    std::size_t writeCount() const { return writeCount_; }

private:
    std::map<std::string, StoredValue> values_;
    std::size_t writeCount_ = 0;
};

} // namespace brivio
