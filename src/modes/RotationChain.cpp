#include "modes/RotationChain.h"

#include "base/Log.h"

namespace brivio {

namespace {

constexpr auto rotationLog = LogCategory::driver;
constexpr std::string_view rotationParameter = "Rotation";

std::string_view lastComponent(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// One try with the window server's calls found in one place: the display call first, then the
// connection call, which also gets its turn when the display call refuses.
bool tryWindowServerEntries(const RotationEntries& entries, int angle, DisplayNumber display) {
    if (entries.setDisplayRotation) {
        int kr = entries.setDisplayRotation(display, angle);
        logDebug(rotationLog, "DisplayModeManager: SLSSetDisplayRotation({}, {}) kr={}", display, angle, kr);
        if (kr == 0)
            return true;
    }
    if (!entries.mainConnectionID || !entries.setConnectionDisplayRotation)
        return false;
    std::uint32_t connection = entries.mainConnectionID();
    int kr = entries.setConnectionDisplayRotation(connection, display, static_cast<double>(angle));
    logDebug(rotationLog, "DisplayModeManager: CGSSetDisplayRotation(conn={}, {}, {}) kr={}", connection,
             display, angle, kr);
    return kr == 0;
}

} // namespace

OpenedRotationLibrary RotationChain::open(std::string_view path) const {
    if (!service_.openLibrary)
        return {false, "library loading not available", {}};
    return service_.openLibrary(std::string(path));
}

bool RotationChain::setRotation(int angle, DisplayNumber display) const {
    if (viaFramebuffer(angle, display) || viaServiceForDisplay(angle, display) ||
        viaWindowServer(angle, display) || viaDisplayService(angle, display))
        return true;
    logError(rotationLog, "DisplayModeManager: rotation: all paths exhausted — rotation unsupported on this "
                          "configuration");
    return false;
}

bool RotationChain::viaFramebuffer(int angle, DisplayNumber display) const {
    std::uint32_t unit = windowServer_.unitNumber(display);
    std::optional<RegistryService> match;
    auto listing = registry_.matchingServices("IOFramebuffer");
    if (listing.result == 0) {
        for (const auto& service : listing.services) {
            for (auto key : framebufferMatchKeys) {
                auto value = registry_.property(service, key);
                if (value && value->asUInt32() == unit) {
                    match = service;
                    break;
                }
            }
            if (match)
                break;
        }
    }
    if (!match) {
        logDebug(rotationLog,
                 "DisplayModeManager: rotation path1: no IOFramebuffer service (expected on Apple "
                 "Silicon)");
        return false;
    }
    int kr = registry_.setIntegerParameter(*match, rotationParameter, angle);
    logDebug(rotationLog, "DisplayModeManager: rotation path1 IOFramebuffer kr={}", kr);
    return kr == 0;
}

bool RotationChain::viaServiceForDisplay(int angle, DisplayNumber display) const {
    std::optional<RegistryService> service;
    {
        auto library = open(graphicsLibrary);
        if (!library.opened || !library.entries.serviceForDisplayNumber)
            return false;
        service = library.entries.serviceForDisplayNumber(display);
    } // closed before the registry call
    if (!service)
        return false;
    int kr = registry_.setIntegerParameter(*service, rotationParameter, angle);
    logDebug(rotationLog, "DisplayModeManager: rotation path2A CGS service kr={}", kr);
    return kr == 0;
}

bool RotationChain::viaWindowServer(int angle, DisplayNumber display) const {
    if (tryWindowServerEntries(service_.process, angle, display))
        return true;
    for (auto path : windowServerLibraries) {
        auto library = open(path);
        if (!library.opened) {
            logDebug(rotationLog, "DisplayModeManager: rotation path2B dlopen({}): {}", lastComponent(path),
                     library.error);
            continue;
        }
        logDebug(rotationLog, "DisplayModeManager: rotation path2B: opened {}", lastComponent(path));
        if (tryWindowServerEntries(library.entries, angle, display))
            return true;
    }
    logError(rotationLog, "DisplayModeManager: rotation path2B: CGS/SLS symbols not found in any framework");
    return false;
}

bool RotationChain::viaDisplayService(int angle, DisplayNumber display) const {
    // The display service takes the angle unsigned; only 0, 90, 180 and 270 ever reach it.
    auto unsignedAngle = static_cast<std::uint32_t>(angle);
    if (service_.process.setUserRotation) {
        service_.process.setUserRotation(display, unsignedAngle);
        logDebug(rotationLog, "DisplayModeManager: rotation path3A RTLD_DEFAULT: called ({}, {})", display,
                 angle);
        return true;
    }
    logDebug(rotationLog, "DisplayModeManager: rotation path3A: symbol not in RTLD_DEFAULT — trying dlopen");
    for (auto path : displayServiceLibraries) {
        auto library = open(path);
        if (!library.opened) {
            logDebug(rotationLog, "DisplayModeManager: rotation path3 dlopen({}): {}", path, library.error);
            continue;
        }
        if (!library.entries.setUserRotation) {
            logDebug(rotationLog, "DisplayModeManager: rotation path3: symbol not found in {}", path);
            continue;
        }
        library.entries.setUserRotation(display, unsignedAngle);
        logDebug(rotationLog, "DisplayModeManager: rotation path3 dlopen: called ({}, {})", display, angle);
        return true;
    }
    return false;
}

} // namespace brivio
