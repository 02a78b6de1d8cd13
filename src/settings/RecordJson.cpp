#include "settings/RecordJson.h"

#include "base/BoundedJson.h"

#include <climits>

namespace brivio {

using nlohmann::json;

std::optional<json> parseRecordArray(const StoredData& data) {
    if (data.size() > maxRecordListBytes)
        return std::nullopt;
    // A list of records is a few levels deep; deeper data is not ours.
    auto doc = parseBoundedJson(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                                JsonLimits{maxRecordListBytes, 16});
    if (!doc || !doc->is_array())
        return std::nullopt;
    return doc;
}

std::optional<StoredData> serializeRecordArray(const json& array) {
    try {
        auto text = array.dump();
        // What cannot be read back must not replace what is stored.
        if (text.size() > maxRecordListBytes)
            return std::nullopt;
        return StoredData(text.begin(), text.end());
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> jsonString(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::optional<double> jsonNumber(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_number())
        return std::nullopt;
    return it->get<double>();
}

std::optional<int> jsonInt(const json& value) {
    if (value.is_number_unsigned()) {
        auto v = value.get<std::uint64_t>();
        return v <= std::uint64_t(INT_MAX) ? std::optional<int>(static_cast<int>(v)) : std::nullopt;
    }
    if (value.is_number_integer()) {
        auto v = value.get<std::int64_t>();
        return v >= INT_MIN && v <= INT_MAX ? std::optional<int>(static_cast<int>(v)) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> jsonInt(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end())
        return std::nullopt;
    return jsonInt(*it);
}

} // namespace brivio
