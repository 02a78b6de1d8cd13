#pragma once
// The hardware registry from the DRM connectors: one service of class "DRMConnector" per connected
// monitor, publishing its EDID numbers, its serial number, its unit, the display it shows (a connector
// carries exactly one monitor), the EDID itself and, when a bus is tied to the monitor, that it carries
// an I2C channel.

#include "platform/Registry.h"
#include "platform/linux/DisplayBuses.h"
#include "platform/linux/LinuxDisplays.h"

namespace brivio {

inline constexpr const char* drmConnectorClass = "DRMConnector";

class LinuxRegistry : public Registry {
public:
    // Without `buses`, a connector's DDC bus is published as it is; with them, only a tied bus.
    explicit LinuxRegistry(LinuxDisplays& displays, DisplayBuses* buses = nullptr);

    // The connectors of the last scan; only "DRMConnector" has services.
    ServiceListing matchingServices(std::string_view className) override;
    std::optional<PropertyDictionary> properties(const RegistryService& service) override;
    std::optional<PropertyValue> property(const RegistryService& service, std::string_view key) override;
    // Connector services have no parents worth searching: the service's own property.
    std::optional<PropertyValue> searchPropertyWithParents(const RegistryService& service,
                                                           std::string_view key) override;
    // Not reached yet: answers with a failure code.
    int setIntegerParameter(const RegistryService& service, std::string_view parameter,
                            std::int32_t value) override;

private:
    std::optional<int> busOf(const LinuxDisplay& display);

    LinuxDisplays& displays_;
    DisplayBuses* buses_;
};

} // namespace brivio
