#pragma once
// A window server and a registry that hold just what topology matching and DDC probing read.

#include "platform/Registry.h"
#include "platform/WindowServer.h"

#include <map>
#include <string>
#include <vector>

namespace brivio::testing {

struct FakeDisplay {
    DisplayNumber number = 0;
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    std::uint32_t serial = 0;
    std::uint32_t unit = 0;
    bool builtIn = false;
};

class FakeWindowServer : public WindowServer {
public:
    std::vector<FakeDisplay> displays;
    bool listFails = false;

    std::optional<std::vector<DisplayNumber>> activeDisplays() override { return onlineDisplays(); }
    std::optional<std::vector<DisplayNumber>> onlineDisplays() override;
    std::uint32_t vendorNumber(DisplayNumber d) override { return find(d).vendor; }
    std::uint32_t modelNumber(DisplayNumber d) override { return find(d).product; }
    std::uint32_t serialNumber(DisplayNumber d) override { return find(d).serial; }
    std::uint32_t unitNumber(DisplayNumber d) override { return find(d).unit; }
    bool isBuiltin(DisplayNumber d) override { return find(d).builtIn; }
    Rect bounds(DisplayNumber) override { return {}; }
    double rotation(DisplayNumber) override { return 0; }
    int registerReconfigurationCallback(ReconfigurationCallback) override { return 0; }
    void unregisterReconfigurationCallback(int) override {}
    void restoreColorSyncSettings() override {}
    int getTransferTables(DisplayNumber, GammaTables&) override { return -1; }
    int setTransferTables(DisplayNumber, const GammaTables&) override { return -1; }
    std::optional<std::vector<PlatformMode>> allDisplayModes(DisplayNumber) override { return std::nullopt; }
    std::optional<PlatformMode> currentDisplayMode(DisplayNumber) override { return std::nullopt; }
    std::unique_ptr<DisplayConfiguration> beginConfiguration(int& result) override {
        result = -1;
        return nullptr;
    }

private:
    const FakeDisplay& find(DisplayNumber d) const;
};

struct FakeService {
    RegistryService service;
    std::optional<PropertyDictionary> properties; // absent: the properties cannot be read
};

class FakeRegistry : public Registry {
public:
    std::vector<FakeService> services;
    std::map<std::string, int> failingClasses; // class -> result code
    int matchCalls = 0;

    // A service publishing vendor and product (when non-zero) and the AV key.
    void addMonitorService(const std::string& className, RegistryID id, std::uint32_t vendor,
                           std::uint32_t product, bool avCapable = true);

    ServiceListing matchingServices(std::string_view className) override;
    std::optional<PropertyDictionary> properties(const RegistryService& service) override;
    std::optional<PropertyValue> property(const RegistryService& service, std::string_view key) override;
    std::optional<PropertyValue> searchPropertyWithParents(const RegistryService&,
                                                           std::string_view) override {
        return std::nullopt;
    }
    int setIntegerParameter(const RegistryService&, std::string_view, std::int32_t) override { return -1; }
};

} // namespace brivio::testing
