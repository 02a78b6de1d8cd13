#pragma once
// Who a connected display is. Everything remembered per display is filed under its `stableKey()`,
// which leaves out the window server's display number so settings survive reconnects.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace brivio {

struct DisplayIdentity {
    std::uint32_t cgID = 0; // valid only while connected; may change across reconnects
    std::uint32_t vendorID = 0;
    std::uint32_t productID = 0;
    std::uint32_t serial = 0; // 0 when the display reports none
    std::string modelName;
    std::uint32_t unitNumber = 0;

    std::string stableKey() const;
    // For diagnostics: "Display(<name> v=<vendor> p=<product> s=<serial> cg=<cgID>)".
    std::string description() const;

    nlohmann::json toJson() const;
    // Absent when a key is missing or has the wrong type.
    static std::optional<DisplayIdentity> fromJson(const nlohmann::json& j);

    bool operator==(const DisplayIdentity&) const = default;
};

// Throwing forms for nlohmann's get<>/assignment; errors are nlohmann::json exceptions.
void to_json(nlohmann::json& j, const DisplayIdentity& identity);
void from_json(const nlohmann::json& j, DisplayIdentity& identity);

} // namespace brivio

template <> struct std::hash<brivio::DisplayIdentity> {
    std::size_t operator()(const brivio::DisplayIdentity& identity) const noexcept;
};
