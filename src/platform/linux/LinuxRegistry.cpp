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
    if (c.edid) {
        p["DisplayVendorID"] = PropertyValue{std::int64_t{c.edid->vendorId}};
        p["DisplayProductID"] = PropertyValue{std::int64_t{c.edid->productId}};
        p["DisplaySerialNumber"] = PropertyValue{std::int64_t{c.edid->serial}};
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
    displays_.refresh();
    for (const auto& d : displays_.displays())
        listing.services.push_back({d.registryID, drmConnectorClass});
    return listing;
}

std::optional<PropertyDictionary> LinuxRegistry::properties(const RegistryService& service) {
    auto d = displays_.findService(service.registryID);
    if (!d)
        return std::nullopt;
    std::optional<int> bus = d->connector.i2cBus;
    if (buses_) {
        auto tied = buses_->busFor(d->connector, displays_.connectors());
        bus = tied ? std::optional<int>(tied->bus) : std::nullopt;
    }
    return propertiesOf(*d, bus);
}

std::optional<PropertyValue> LinuxRegistry::property(const RegistryService& service, std::string_view key) {
    auto all = properties(service);
    if (!all)
        return std::nullopt;
    auto it = all->find(std::string(key));
    if (it == all->end())
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
