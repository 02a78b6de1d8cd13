#pragma once
// The hardware registry: services found by class, their identities and typed properties, a property
// search up the parents (the EDID that names a display), and the frame-buffer integer parameters.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brivio {

using RegistryID = std::uint64_t;

struct PropertyValue;
using PropertyDictionary = std::map<std::string, PropertyValue>;

// A property as the registry holds it: a number, a string, a byte block or a dictionary.
struct PropertyValue {
    std::variant<std::int64_t, double, bool, std::string, std::vector<std::uint8_t>, PropertyDictionary>
        value;

    // A number readable as an unsigned 32-bit value (integral and in range), or nothing.
    std::optional<std::uint32_t> asUInt32() const;
    const std::string* asString() const { return std::get_if<std::string>(&value); }
    const std::vector<std::uint8_t>* asBytes() const {
        return std::get_if<std::vector<std::uint8_t>>(&value);
    }
    const PropertyDictionary* asDictionary() const { return std::get_if<PropertyDictionary>(&value); }
};

// Published by a service that carries exactly one display: that display's number. The display is then
// tied to this service and no other, whatever numbers other services publish.
inline constexpr const char* displayNumberProperty = "DisplayNumber";

// A service found by class. Plain values: nothing needs to be released.
struct RegistryService {
    RegistryID registryID = 0;
    std::string className;
};

struct ServiceListing {
    int result = 0; // 0 on success; the services are empty otherwise
    std::vector<RegistryService> services;
};

class Registry {
public:
    virtual ~Registry() = default;

    virtual ServiceListing matchingServices(std::string_view className) = 0;
    // Every top-level property, or nothing when they cannot be read.
    virtual std::optional<PropertyDictionary> properties(const RegistryService& service) = 0;
    virtual std::optional<PropertyValue> property(const RegistryService& service, std::string_view key) = 0;
    // The first value of `key` on the service or any of its ancestors.
    virtual std::optional<PropertyValue> searchPropertyWithParents(const RegistryService& service,
                                                                   std::string_view key) = 0;
    // 0 when the parameter was set (the frame buffer's "Rotation", for instance).
    virtual int setIntegerParameter(const RegistryService& service, std::string_view parameter,
                                    std::int32_t value) = 0;
};

} // namespace brivio
