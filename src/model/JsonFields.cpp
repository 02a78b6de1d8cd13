#include "model/JsonFields.h"

#include <limits>
#include <nlohmann/json.hpp>

namespace brivio::json {

std::uint32_t requireUInt32(const nlohmann::json& object, const char* key) {
    const auto& value = object.at(key);
    if (value.is_number_unsigned()) {
        auto number = value.get<std::uint64_t>();
        if (number <= std::numeric_limits<std::uint32_t>::max())
            return static_cast<std::uint32_t>(number);
    } else if (value.is_number_integer()) {
        auto number = value.get<std::int64_t>();
        if (number >= 0 && number <= std::int64_t{std::numeric_limits<std::uint32_t>::max()})
            return static_cast<std::uint32_t>(number);
    } else {
        throw nlohmann::json::type_error::create(
            302, std::string("\"") + key + "\" must be an unsigned 32-bit integer", &value);
    }
    throw nlohmann::json::out_of_range::create(406, std::string("\"") + key + "\" is out of range", &value);
}

bool requireBool(const nlohmann::json& object, const char* key) {
    return object.at(key).get<bool>();
}

std::string requireString(const nlohmann::json& object, const char* key) {
    return object.at(key).get<std::string>();
}

} // namespace brivio::json
