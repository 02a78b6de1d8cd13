#include "settings/KeyValueStore.h"

namespace brivio {

const char* storedTypeName(const StoredValue& value) {
    static constexpr const char* names[] = {"string", "bool", "integer",          "double",
                                            "date",   "data", "doubleDictionary", "boolDictionary"};
    static_assert(std::size(names) == std::variant_size_v<StoredValue>);
    return names[value.index()];
}

std::optional<double> KeyValueStore::getNumber(const std::string& key) const {
    auto value = get(key);
    if (!value)
        return std::nullopt;
    if (auto* d = std::get_if<double>(&*value))
        return *d;
    if (auto* i = std::get_if<std::int64_t>(&*value))
        return static_cast<double>(*i);
    return std::nullopt;
}

} // namespace brivio
