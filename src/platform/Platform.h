#pragma once
// Everything the system needs from the desktop, gathered so that one backend (the simulator or the
// Linux desktop) can hand it to the controller in one piece.

#include "base/MainLoop.h"
#include "platform/AVService.h"
#include "platform/BrightnessIndicator.h"
#include "platform/LocationService.h"
#include "platform/Registry.h"
#include "platform/RotationService.h"
#include "platform/WallClock.h"
#include "platform/WindowServer.h"
#include "platform/WindowSystem.h"

namespace brivio {

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
    RotationService rotation{};               // entries absent: only the frame buffer can turn a display
};

} // namespace brivio
