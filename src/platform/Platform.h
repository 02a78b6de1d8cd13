#pragma once
// Everything the system needs from the desktop, gathered so that one backend (the simulator or the
// Linux desktop) can hand it to the controller in one piece.

#include "base/MainLoop.h"
#include "platform/AVService.h"
#include "platform/BrightnessIndicator.h"
#include "platform/HotKeyService.h"
#include "platform/LocationService.h"
#include "platform/Registry.h"
#include "platform/RotationService.h"
#include "platform/WallClock.h"
#include "platform/WindowServer.h"
#include "platform/WindowSystem.h"

#include <string>
#include <vector>

namespace brivio {

// The registry classes a backend publishes for its displays, best DDC channel first. Empty: the
// backend publishes the classes the topology matching knows by default.
struct PlatformServiceClasses {
    std::vector<std::string> serviceClasses;
    std::vector<std::string> preferredOrder;
    std::vector<std::string> withoutPowerOff;
    std::string nameServiceClass;
};

struct Platform {
    MainLoop& loop;
    WindowServer& windowServer;
    Registry& registry;
    WindowSystem& windowSystem;
    WallClock& clock;
    LocationService& location;
    AVServiceSymbols avService;
    DisplayServicesSymbols displayServices;
    BrightnessIndicator* indicator = nullptr; // absent: stepping shows no indicator
    PlatformServiceClasses serviceClasses{};
    HotKeyService* hotKeys = nullptr; // absent: no global shortcuts
    RotationService rotation{};       // entries absent: only the frame buffer can turn a display
};

} // namespace brivio
