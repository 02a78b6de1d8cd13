#pragma once
// The simulated hardware registry: per display the services the display matching reads (an AV service
// with the I2C channel and an EDID-carrying display service by default, or the scenario's own list),
// and a frame buffer that rotates the display.

#include "platform/Registry.h"
#include "platform/sim/SimState.h"
#include "platform/sim/SimWindowServer.h"

#include <map>

namespace brivio {

namespace SimResult {
constexpr int badArgument = static_cast<int>(0xE00002C2);
constexpr int unsupported = static_cast<int>(0xE00002C7);
} // namespace SimResult

class SimRegistry final : public Registry {
public:
    SimRegistry(SimState& state, SimWindowServer& windowServer);

    ServiceListing matchingServices(std::string_view className) override;
    std::optional<PropertyDictionary> properties(const RegistryService& service) override;
    std::optional<PropertyValue> property(const RegistryService& service, std::string_view key) override;
    std::optional<PropertyValue> searchPropertyWithParents(const RegistryService& service,
                                                           std::string_view key) override;
    int setIntegerParameter(const RegistryService& service, std::string_view parameter,
                            std::int32_t value) override;

    // The plugged-in display a service belongs to, and whether the service carries an I2C channel.
    SimDisplay* displayOf(const RegistryService& service) const;
    bool carriesI2C(const RegistryService& service) const;
    std::vector<RegistryService> servicesOf(const SimDisplay& display) const;
    // The service the window server hands out for a display that has the displayService rotation path.
    std::optional<RegistryService> displayServiceOf(const SimDisplay& display) const;
    // Makes the listing of a class fail with `result` (0 lets it succeed again).
    void setMatchingResult(const std::string& className, int result);

private:
    struct Entry {
        RegistryService service;
        SimDisplay* display = nullptr;
        PropertyDictionary properties;
        bool propertiesUnreadable = false;
        bool i2c = false;
        bool rotates = false;
        bool refusesRotation = false;
        bool hidden = false; // not listed by class
        std::optional<RegistryID> parent;
    };

    void addDefaults(SimDisplay& display);
    void addConfigured(SimDisplay& display, const std::vector<ScenarioService>& services);
    void addDisplayService(SimDisplay& display);
    Entry& add(SimDisplay& display, std::string className);
    const Entry* find(const RegistryService& service) const;

    SimState& state_;
    SimWindowServer& windowServer_;
    std::vector<Entry> entries_;
    std::map<std::string, int, std::less<>> matchingResults_;
};

} // namespace brivio
