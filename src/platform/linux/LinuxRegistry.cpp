#include "platform/linux/LinuxRegistry.h"

namespace brivio {

namespace {

constexpr int resultNoService = 1;
constexpr int resultUnsupported = 2;

PropertyDictionary propertiesOf(const LinuxDisplay& d, std::optional<int> bus) {
    const auto& c = d.connector;
    PropertyDictionary p;
    p["DRMConnectorName"] = PropertyValue{c.name};
    p["DisplayUnit"] = PropertyValue{std::int64_t{d.unit}};
    p[displayNumberProperty] = PropertyValue{std::int64_t{d.number}};
    if (c.edid) {
        p["DisplayVendorID"] = PropertyValue{std::int64_t{c.edid->vendorId}};
        p["DisplayProductID"] = PropertyValue{std::int64_t{c.edid->productId}};
        p["DisplaySerialNumber"] = PropertyValue{std::int64_t{d.serial}};
    }
    if (!c.edidBytes.empty())
        p["EDID"] = PropertyValue{c.edidBytes};
    if (bus) {
        p["I2CBus"] = PropertyValue{std::int64_t{*bus}};
        p["IOAVServiceUserInterfaceSupported"] = PropertyValue{true};
    }
    return p;
}

} // namespace

LinuxRegistry::LinuxRegistry(LinuxDisplays& displays, DisplayBuses* buses)
    : displays_(displays), buses_(buses) {}

ServiceListing LinuxRegistry::matchingServices(std::string_view className) {
    ServiceListing listing;
    if (className != drmConnectorClass)
        return listing;
    for (const auto& d : displays_.displays())
        listing.services.push_back({d.registryID, drmConnectorClass});
    return listing;
}

std::optional<int> LinuxRegistry::busOf(const LinuxDisplay& d) {
    if (!buses_)
        return d.connector.i2cBus;
    auto tied = buses_->busFor(d.connector, displays_.connectors());
    return tied ? std::optional<int>(tied->bus) : std::nullopt;
}

std::optional<PropertyDictionary> LinuxRegistry::properties(const RegistryService& service) {
    auto d = displays_.findService(service.registryID);
    if (!d)
        return std::nullopt;
    return propertiesOf(*d, busOf(*d));
}

std::optional<PropertyValue> LinuxRegistry::property(const RegistryService& service, std::string_view key) {
    auto d = displays_.findService(service.registryID);
    if (!d)
        return std::nullopt;
    // Only the bus keys need the bus (which may take an EDID check on first use).
    const bool needsBus = key == "I2CBus" || key == "IOAVServiceUserInterfaceSupported";
    auto all = propertiesOf(*d, needsBus ? busOf(*d) : std::nullopt);
    auto it = all.find(std::string(key));
    if (it == all.end())
        return std::nullopt;
    return it->second;
}

std::optional<PropertyValue> LinuxRegistry::searchPropertyWithParents(const RegistryService& service,
                                                                      std::string_view key) {
    return property(service, key);
}

int LinuxRegistry::setIntegerParameter(const RegistryService& service, std::string_view, std::int32_t) {
    return displays_.findService(service.registryID) ? resultUnsupported : resultNoService;
}

} // namespace brivio
