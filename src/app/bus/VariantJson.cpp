#include "app/bus/VariantJson.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace brivio::bus {

namespace {

using nlohmann::json;

template <typename Test> bool allOf(const json& array, Test test) {
    return std::all_of(array.begin(), array.end(), test);
}

} // namespace

sdbus::Variant toVariant(const json& value) {
    switch (value.type()) {
    case json::value_t::string:
        return sdbus::Variant(value.get<std::string>());
    case json::value_t::boolean:
        return sdbus::Variant(value.get<bool>());
    case json::value_t::number_unsigned: {
        auto v = value.get<std::uint64_t>();
        if (v <= std::numeric_limits<std::uint32_t>::max())
            return sdbus::Variant(static_cast<std::uint32_t>(v));
        return sdbus::Variant(v);
    }
    case json::value_t::number_integer: {
        auto v = value.get<std::int64_t>();
        if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
            return sdbus::Variant(static_cast<std::int32_t>(v));
        return sdbus::Variant(v);
    }
    case json::value_t::number_float:
        return sdbus::Variant(value.get<double>());
    case json::value_t::object:
        return sdbus::Variant(toVariantMap(value));
    case json::value_t::array:
        if (!value.empty() && allOf(value, [](const json& e) { return e.is_object(); }))
            return sdbus::Variant(toVariantMaps(value));
        if (!value.empty() && allOf(value, [](const json& e) { return e.is_number_integer(); })) {
            std::vector<std::int32_t> numbers;
            for (const auto& e : value)
                numbers.push_back(static_cast<std::int32_t>(e.get<std::int64_t>()));
            return sdbus::Variant(numbers);
        }
        if (!value.empty() && allOf(value, [](const json& e) { return e.is_string(); }))
            return sdbus::Variant(value.get<std::vector<std::string>>());
        {
            std::vector<sdbus::Variant> items;
            for (const auto& e : value)
                items.push_back(toVariant(e));
            return sdbus::Variant(items);
        }
    default:
        return sdbus::Variant(std::string());
    }
}

VariantMap toVariantMap(const json& object) {
    VariantMap map;
    for (auto& [key, value] : object.items())
        if (!value.is_null())
            map.emplace(key, toVariant(value));
    return map;
}

std::vector<VariantMap> toVariantMaps(const json& array) {
    std::vector<VariantMap> maps;
    for (const auto& e : array)
        maps.push_back(toVariantMap(e));
    return maps;
}

json toJson(const sdbus::Variant& value) {
    std::string type = value.peekValueType();
    if (type == "s")
        return value.get<std::string>();
    if (type == "b")
        return value.get<bool>();
    if (type == "y")
        return value.get<std::uint8_t>();
    if (type == "u")
        return value.get<std::uint32_t>();
    if (type == "t")
        return value.get<std::uint64_t>();
    if (type == "i")
        return value.get<std::int32_t>();
    if (type == "x")
        return value.get<std::int64_t>();
    if (type == "d")
        return value.get<double>();
    if (type == "a{sv}")
        return toJson(value.get<VariantMap>());
    if (type == "aa{sv}")
        return toJson(value.get<std::vector<VariantMap>>());
    if (type == "ai")
        return value.get<std::vector<std::int32_t>>();
    if (type == "as")
        return value.get<std::vector<std::string>>();
    if (type == "av") {
        auto array = json::array();
        for (const auto& item : value.get<std::vector<sdbus::Variant>>())
            array.push_back(toJson(item));
        return array;
    }
    return nullptr;
}

json toJson(const VariantMap& map) {
    auto object = json::object();
    for (const auto& [key, value] : map)
        object[key] = toJson(value);
    return object;
}

json toJson(const std::vector<VariantMap>& maps) {
    auto array = json::array();
    for (const auto& map : maps)
        array.push_back(toJson(map));
    return array;
}

} // namespace brivio::bus
