#pragma once
// The display topology: each online display tied to the registry services that may carry its I2C
// channel: the services that name the display as theirs where the platform knows that, otherwise
// matched by vendor and product, then by unit number, and finally to every AV-capable service.

#include "platform/Registry.h"
#include "platform/WindowServer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

// What the window server says about one display.
struct DisplayInfo {
    std::uint32_t cgID = 0;
    std::uint32_t vendorID = 0;
    std::uint32_t productID = 0;
    std::uint32_t serial = 0;
    std::string modelName;
    bool isBuiltIn = false;
    std::uint32_t unitNumber = 0;
    bool operator==(const DisplayInfo&) const = default;
};

// What the registry publishes about one service.
struct IOServiceSnapshot {
    std::string className;
    RegistryID registryID = 0;
    std::uint32_t vendorID = 0;
    std::uint32_t productID = 0;
    std::uint32_t serial = 0;
    std::optional<std::uint32_t> unitNumber;
    std::optional<std::string> modelName;
    std::vector<std::string> allKeys;
    bool isAVServiceCapable = false;
    // The one display this service carries, where the platform knows it (`displayNumberProperty`).
    std::optional<std::uint32_t> displayNumber;
    bool operator==(const IOServiceSnapshot&) const = default;
};

struct DisplayTopologyEntry {
    DisplayInfo display;
    std::vector<IOServiceSnapshot> matchedServices;
    bool operator==(const DisplayTopologyEntry&) const = default;
};

using DisplayTopology = std::vector<DisplayTopologyEntry>;

// The service classes a backend publishes, and which of them make the best DDC channel. The matching
// stays the same whatever the classes are called.
struct TopologyClasses {
    // Enumerated in this order.
    std::vector<std::string> serviceClasses{"AppleDisplay", "DCPAVServiceProxy", "AGXDisplay",
                                            "DisplayLinkFramebuffer"};
    // Highest first.
    std::vector<std::string> preferredOrder{"DCPAVServiceProxy", "AppleDisplay", "AGXDisplay",
                                            "DisplayLinkFramebuffer"};
    // Channels that carry brightness but cannot switch the monitor off.
    std::vector<std::string> withoutPowerOff{"AppleDisplay"};
    // The services whose EDID names a display that the window system gives no name.
    std::string nameServiceClass{"DCPAVServiceProxy"};
};

// Lists online displays and candidate services, matches them, and logs the result as one block.
DisplayTopology buildTopology(WindowServer& windowServer, Registry& registry,
                              const TopologyClasses& classes = TopologyClasses{});

// The facts of one service as the matching needs them.
IOServiceSnapshot snapshotService(Registry& registry, const RegistryService& service);

// The best class among an entry's services: the first of the priority list present, else the first
// service's class; absent without services.
std::optional<std::string> preferredClassName(const DisplayTopologyEntry& entry,
                                              const TopologyClasses& classes = TopologyClasses{});

std::string description(const DisplayInfo& display);
std::string description(const IOServiceSnapshot& service);
std::string description(const DisplayTopologyEntry& entry);

} // namespace brivio
