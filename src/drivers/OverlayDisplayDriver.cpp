#include "drivers/OverlayDisplayDriver.h"

#include <algorithm>

namespace brivio {

namespace {
double clampUnit(double v) {
    return std::clamp(v, 0.0, 1.0);
}
} // namespace

OverlayDisplayDriver::OverlayDisplayDriver(WindowServer& windowServer, WindowSystem& windowSystem)
    : windowServer_(windowServer), windowSystem_(windowSystem) {}

OverlayDisplayDriver::~OverlayDisplayDriver() {
    removeAllWindows();
}

Task<DisplayCapabilities> OverlayDisplayDriver::probeCapabilities(ManagedDisplay) {
    DisplayCapabilities caps;
    caps.supportsOverlayDimming = true;
    caps.hardwareBrightnessFallbackReason = FallbackReason::noDDC;
    co_return caps;
}

Task<double> OverlayDisplayDriver::readValue(DisplayControl control, ManagedDisplay display) {
    if (control != DisplayControl::brightness)
        throw DisplayDriverError::unsupportedControl(control);
    co_return brightness(display.identity.stableKey());
}

Task<void> OverlayDisplayDriver::writeValue(double value, DisplayControl control, ManagedDisplay display) {
    if (control != DisplayControl::brightness)
        throw DisplayDriverError::unsupportedControl(control);
    setBrightness(display, value);
    co_return;
}

double OverlayDisplayDriver::brightness(const std::string& key) const {
    auto it = brightnessCache_.find(key);
    return it == brightnessCache_.end() ? 1.0 : it->second;
}

void OverlayDisplayDriver::setBrightness(const ManagedDisplay& display, double value, bool animated) {
    double v = clampUnit(value);
    auto key = display.identity.stableKey();
    brightnessCache_[key] = v;
    ensureWindow(display);
    setDim(windows_.at(key), opacityFor(v), animated);
}

void OverlayDisplayDriver::refresh(const ManagedDisplay& display, std::optional<double> value) {
    auto key = display.identity.stableKey();
    double b = value ? *value : brightness(key);
    brightnessCache_[key] = b;
    ensureWindow(display);
    setDim(windows_.at(key), opacityFor(b), false);
}

Rect OverlayDisplayDriver::frameFor(DisplayNumber display) {
    if (auto screen = windowSystem_.screenFor(display))
        return screen->frame;
    return windowServer_.bounds(display);
}

void OverlayDisplayDriver::ensureWindow(const ManagedDisplay& display) {
    auto key = display.identity.stableKey();
    DisplayNumber n = display.identity.cgID;
    if (auto it = windows_.find(key); it != windows_.end()) {
        it->second.cgID = n;
        if (it->second.window)
            it->second.window->setFrame(frameFor(n));
        return;
    }
    Window entry{n, windowSystem_.createOverlayWindow(n, frameFor(n))};
    const bool created = entry.window != nullptr;
    windows_.emplace(key, std::move(entry));
    if (created)
        logDebug(LogCategory::overlay, "Created overlay window for {}", display.identity.modelName);
    else
        logDebug(LogCategory::overlay, "No overlay window for {}: the window system gave none",
                 display.identity.modelName);
}

bool OverlayDisplayDriver::canDim(const std::string& key) const {
    auto it = windows_.find(key);
    return it != windows_.end() && it->second.window && it->second.window->hasLayer();
}

void OverlayDisplayDriver::setDim(Window& window, double level, bool animated) {
    // Without a window (the window system refused one) or a layer, dim changes are ignored.
    if (!window.window || !window.window->hasLayer())
        return;
    window.window->setOpacity(static_cast<float>(clampUnit(level)), animated);
}

void OverlayDisplayDriver::removeWindow(const std::string& key) {
    auto it = windows_.find(key);
    if (it == windows_.end())
        return;
    auto window = std::move(it->second.window);
    windows_.erase(it);
    if (window)
        window->close();
    logDebug(LogCategory::overlay, "Removed overlay window {}", key);
}

void OverlayDisplayDriver::removeAllWindows() {
    auto windows = std::move(windows_);
    windows_.clear();
    for (auto& [key, entry] : windows)
        if (entry.window)
            entry.window->close();
}

} // namespace brivio
