#pragma once
// Brightness of displays that the system itself controls (the built-in panel), through the system's
// brightness service. Brightness only.

#include "model/DisplayDriver.h"
#include "model/DisplayDriverError.h"
#include "platform/AVService.h"
#include "platform/WindowServer.h"

#include <map>
#include <string>

namespace brivio {

class NativeDisplayDriver final : public DisplayDriver {
public:
    explicit NativeDisplayDriver(DisplayServicesSymbols services) : services_(std::move(services)) {}

    DisplayDriverKind kind() const override { return DisplayDriverKind::native; }
    Task<DisplayCapabilities> probeCapabilities(ManagedDisplay display) override;
    Task<double> readValue(DisplayControl control, ManagedDisplay display) override;
    Task<void> writeValue(double value, DisplayControl control, ManagedDisplay display) override;

    // Synchronous forms for the controller (the service calls are synchronous).
    DisplayCapabilities probe(const ManagedDisplay& display);
    double readBrightness(DisplayNumber display) const;
    void writeBrightness(DisplayNumber display, double value) const;
    bool canWrite() const { return bool(services_.setBrightness); }
    bool canRead() const { return bool(services_.getBrightness); }

private:
    DisplayServicesSymbols services_;
    std::map<std::string, DisplayCapabilities> capabilityCache_;
};

} // namespace brivio
