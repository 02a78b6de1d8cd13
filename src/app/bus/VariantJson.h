#pragma once
// JSON objects as D-Bus dictionaries (a{sv}) and back, so that the bus and the command line describe
// things with the same fields. Strings are s, booleans b, whole numbers u (not negative) or i (64-bit
// t and x beyond 32 bits), other numbers d, objects a{sv}, lists of objects aa{sv}, of whole numbers
// ai, of strings as, anything else av. A null field is left out.

#include <map>
#include <nlohmann/json.hpp>
#include <sdbus-c++/Types.h>
#include <string>
#include <vector>

namespace brivio::bus {

using VariantMap = std::map<std::string, sdbus::Variant>;

sdbus::Variant toVariant(const nlohmann::json& value);
VariantMap toVariantMap(const nlohmann::json& object);
std::vector<VariantMap> toVariantMaps(const nlohmann::json& array);

nlohmann::json toJson(const sdbus::Variant& value);
nlohmann::json toJson(const VariantMap& map);
nlohmann::json toJson(const std::vector<VariantMap>& maps);

} // namespace brivio::bus
