#include "model/DisplayIdentity.h"

#include "model/HashCombine.h"
#include "model/JsonFields.h"

#include <algorithm>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace brivio {

std::string DisplayIdentity::stableKey() const {
    if (vendorID == 0 && productID == 0) {
        std::string name = modelName;
        std::replace(name.begin(), name.end(), ' ', '_');
        return "name-" + name;
    }
    if (serial != 0)
        return fmt::format("v{}-p{}-s{}", vendorID, productID, serial);
    // Identical monitors without serials are told apart by their unit number.
    return fmt::format("v{}-p{}-s0-u{}", vendorID, productID, unitNumber);
}

std::string DisplayIdentity::description() const {
    return fmt::format("Display({} v={} p={} s={} cg={})", modelName, vendorID, productID, serial, cgID);
}

nlohmann::json DisplayIdentity::toJson() const {
    nlohmann::json j;
    to_json(j, *this);
    return j;
}

std::optional<DisplayIdentity> DisplayIdentity::fromJson(const nlohmann::json& j) {
    try {
        return j.get<DisplayIdentity>();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

void to_json(nlohmann::json& j, const DisplayIdentity& identity) {
    j = nlohmann::json{{"cgID", identity.cgID},           {"vendorID", identity.vendorID},
                       {"productID", identity.productID}, {"serial", identity.serial},
                       {"modelName", identity.modelName}, {"unitNumber", identity.unitNumber}};
}

void from_json(const nlohmann::json& j, DisplayIdentity& identity) {
    DisplayIdentity decoded;
    decoded.cgID = json::requireUInt32(j, "cgID");
    decoded.vendorID = json::requireUInt32(j, "vendorID");
    decoded.productID = json::requireUInt32(j, "productID");
    decoded.serial = json::requireUInt32(j, "serial");
    decoded.modelName = json::requireString(j, "modelName");
    decoded.unitNumber = json::requireUInt32(j, "unitNumber");
    identity = std::move(decoded);
}

} // namespace brivio

std::size_t
std::hash<brivio::DisplayIdentity>::operator()(const brivio::DisplayIdentity& identity) const noexcept {
    std::size_t seed = 0;
    brivio::hashCombine(seed, identity.cgID);
    brivio::hashCombine(seed, identity.vendorID);
    brivio::hashCombine(seed, identity.productID);
    brivio::hashCombine(seed, identity.serial);
    brivio::hashCombine(seed, identity.modelName);
    brivio::hashCombine(seed, identity.unitNumber);
    return seed;
}
