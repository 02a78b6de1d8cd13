#pragma once
// Turning a display: a fixed order of ways, from the frame-buffer parameter through the window
// server's rotation calls to the display service, stopping at the first that reports success. Every
// try is logged.

#include "platform/Registry.h"
#include "platform/RotationService.h"
#include "platform/WindowServer.h"

#include <array>
#include <string_view>

namespace brivio {

// The angles the rotation pill offers, in this order.
inline constexpr std::array<int, 4> rotationAngles{0, 90, 180, 270};

class RotationChain {
public:
    // Keys that can carry a frame buffer's unit number, in the order they are tried.
    static constexpr std::array<std::string_view, 4> framebufferMatchKeys{
        "IOFramebufferOpenGLIndex", "IOFramebufferUnitNumber", "DisplayUnit", "Unit"};
    static constexpr std::string_view graphicsLibrary =
        "/System/Library/Frameworks/CoreGraphics.framework/CoreGraphics";
    static constexpr std::array<std::string_view, 3> windowServerLibraries{
        graphicsLibrary, "/System/Library/PrivateFrameworks/SkyLight.framework/Versions/A/SkyLight",
        "/System/Library/PrivateFrameworks/SkyLight.framework/SkyLight"};
    static constexpr std::array<std::string_view, 2> displayServiceLibraries{
        "/System/Cryptexes/OS/System/Library/PrivateFrameworks/CoreDisplay.framework/CoreDisplay",
        "/System/Library/PrivateFrameworks/CoreDisplay.framework/CoreDisplay"};

    RotationChain(WindowServer& windowServer, Registry& registry, RotationService service)
        : windowServer_(windowServer), registry_(registry), service_(std::move(service)) {}

    // True once some way reported the display turned to `angle` degrees.
    bool setRotation(int angle, DisplayNumber display) const;

private:
    bool viaFramebuffer(int angle, DisplayNumber display) const;
    bool viaServiceForDisplay(int angle, DisplayNumber display) const;
    bool viaWindowServer(int angle, DisplayNumber display) const;
    bool viaDisplayService(int angle, DisplayNumber display) const;
    OpenedRotationLibrary open(std::string_view path) const;

    WindowServer& windowServer_;
    Registry& registry_;
    RotationService service_;
};

} // namespace brivio
