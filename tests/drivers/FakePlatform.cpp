#include "drivers/FakePlatform.h"

#include <stdexcept>

namespace brivio::testing {

std::optional<std::vector<DisplayNumber>> FakeWindowServer::onlineDisplays() {
    if (listFails)
        return std::nullopt;
    std::vector<DisplayNumber> numbers;
    for (auto& d : displays)
        numbers.push_back(d.number);
    return numbers;
}

const FakeDisplay& FakeWindowServer::find(DisplayNumber number) const {
    for (auto& d : displays)
        if (d.number == number)
            return d;
    throw std::out_of_range("no such display");
}

void FakeRegistry::addMonitorService(const std::string& className, RegistryID id, std::uint32_t vendor,
                                     std::uint32_t product, bool avCapable) {
    PropertyDictionary properties;
    if (vendor)
        properties["DisplayVendorID"] = {std::int64_t(vendor)};
    if (product)
        properties["DisplayProductID"] = {std::int64_t(product)};
    if (avCapable)
        properties["IOAVServiceUserInterfaceSupported"] = {true};
    services.push_back({{id, className}, properties});
}

ServiceListing FakeRegistry::matchingServices(std::string_view className) {
    ++matchCalls;
    ServiceListing listing;
    if (auto it = failingClasses.find(std::string(className)); it != failingClasses.end()) {
        listing.result = it->second;
        return listing;
    }
    for (auto& s : services)
        if (s.service.className == className)
            listing.services.push_back(s.service);
    return listing;
}

std::optional<PropertyDictionary> FakeRegistry::properties(const RegistryService& service) {
    for (auto& s : services)
        if (s.service.registryID == service.registryID)
            return s.properties;
    return std::nullopt;
}

std::optional<PropertyValue> FakeRegistry::property(const RegistryService& service, std::string_view key) {
    auto all = properties(service);
    if (!all)
        return std::nullopt;
    auto it = all->find(std::string(key));
    if (it == all->end())
        return std::nullopt;
    return it->second;
}

} // namespace brivio::testing
