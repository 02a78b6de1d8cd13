#pragma once
// The typed key-value store every persisted setting lives in; each value keeps the form it was stored in.

#include "base/Signal.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace brivio {

using StoredDate = std::chrono::system_clock::time_point;
using StoredData = std::vector<std::uint8_t>;
using DoubleDictionary = std::map<std::string, double>;
using BoolDictionary = std::map<std::string, bool>;

// Order matters to nobody but `storedTypeName`; a reader must check the alternative it expects.
using StoredValue = std::variant<std::string, bool, std::int64_t, double, StoredDate, StoredData,
                                 DoubleDictionary, BoolDictionary>;

// "string", "bool", "integer", "double", "date", "data", "doubleDictionary", "boolDictionary".
const char* storedTypeName(const StoredValue& value);

class KeyValueStore {
public:
    virtual ~KeyValueStore() = default;

    // Absent when the key was never set, was removed, or its stored entry cannot be read.
    virtual std::optional<StoredValue> get(const std::string& key) const = 0;
    virtual void set(const std::string& key, StoredValue value) = 0;
    virtual void remove(const std::string& key) = 0;

    // After every set or remove, with the key (the shortcut engine re-registers on it); also after a
    // change another process made was taken in.
    Signal<const std::string&> changed;
    // After a change another process made to `key` was taken in (never for this process's own set or
    // remove), with the value the key had before it.
    Signal<const std::string&, const std::optional<StoredValue>&> changedElsewhere;

    // The value when it is stored as exactly `T`.
    template <typename T> std::optional<T> getAs(const std::string& key) const {
        auto value = get(key);
        if (value)
            if (auto* v = std::get_if<T>(&*value))
                return *v;
        return std::nullopt;
    }
    // An integer or a double, as a double (the platform's number reading).
    std::optional<double> getNumber(const std::string& key) const;
};

} // namespace brivio
