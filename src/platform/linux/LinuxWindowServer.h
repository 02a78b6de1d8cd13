#pragma once
// The window server's display services from the DRM connectors: which monitors are connected and
// lit, who they are, and a left-to-right layout at each monitor's preferred size. Gamma tables and
// modes are not reached yet and answer with `resultNotImplemented`.

#include "platform/WindowServer.h"
#include "platform/linux/LinuxDisplays.h"

#include <map>

namespace brivio {

inline constexpr int resultNotImplemented = 1006;
// The size a display without a readable preferred timing is laid out at.
inline constexpr double fallbackDisplayWidth = 1920;
inline constexpr double fallbackDisplayHeight = 1080;

class LinuxWindowServer : public WindowServer {
public:
    explicit LinuxWindowServer(LinuxDisplays& displays);

    // The lists scan the connectors again, so they are current even without hot-plug events.
    std::optional<std::vector<DisplayNumber>> activeDisplays() override;
    std::optional<std::vector<DisplayNumber>> onlineDisplays() override;

    std::uint32_t vendorNumber(DisplayNumber display) override;
    std::uint32_t modelNumber(DisplayNumber display) override;
    std::uint32_t serialNumber(DisplayNumber display) override;
    std::uint32_t unitNumber(DisplayNumber display) override;
    bool isBuiltin(DisplayNumber display) override;
    Rect bounds(DisplayNumber display) override;
    double rotation(DisplayNumber display) override;

    int registerReconfigurationCallback(ReconfigurationCallback callback) override;
    void unregisterReconfigurationCallback(int id) override;

    void restoreColorSyncSettings() override;
    int getTransferTables(DisplayNumber display, GammaTables& tables) override;
    int setTransferTables(DisplayNumber display, const GammaTables& tables) override;

    std::optional<std::vector<PlatformMode>> allDisplayModes(DisplayNumber display) override;
    std::optional<PlatformMode> currentDisplayMode(DisplayNumber display) override;
    std::unique_ptr<DisplayConfiguration> beginConfiguration(int& result) override;

private:
    const Edid* edidOf(DisplayNumber display) const;

    LinuxDisplays& displays_;
    std::map<int, ReconfigurationCallback> callbacks_;
    int nextCallbackId_ = 1;
    Signal<DisplayNumber, std::uint32_t>::Subscription subscription_;
};

} // namespace brivio
