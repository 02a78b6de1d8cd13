#pragma once
// Software dimming with one click-through black window per display: lower brightness, higher opacity.

#include "base/Log.h"
#include "model/DisplayDriver.h"
#include "model/DisplayDriverError.h"
#include "platform/WindowSystem.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace brivio {

class OverlayDisplayDriver final : public DisplayDriver {
public:
    // The darkest overlay still lets a quarter of the picture through.
    static constexpr double maxOpacity = 0.75;
    static double opacityFor(double brightness) { return maxOpacity * (1.0 - brightness); }

    OverlayDisplayDriver(WindowServer& windowServer, WindowSystem& windowSystem);
    ~OverlayDisplayDriver() override;

    DisplayDriverKind kind() const override { return DisplayDriverKind::overlay; }
    Task<DisplayCapabilities> probeCapabilities(ManagedDisplay display) override;
    Task<double> readValue(DisplayControl control, ManagedDisplay display) override;
    Task<void> writeValue(double value, DisplayControl control, ManagedDisplay display) override;

    // Synchronous forms of the same operations, for the controller's routing.
    double brightness(const std::string& key) const;
    void setBrightness(const ManagedDisplay& display, double value, bool animated = false);
    void ensureWindow(const ManagedDisplay& display);
    // b = value, else the cached brightness, else 1.0; stored unclamped, applied at once.
    void refresh(const ManagedDisplay& display, std::optional<double> value);
    void removeWindow(const std::string& key);
    void removeAllWindows();

    bool hasWindow(const std::string& key) const { return windows_.count(key) != 0; }
    // True when the display's window can really darken it (the window system gave one with a layer).
    bool canDim(const std::string& key) const;
    std::size_t windowCount() const { return windows_.size(); }

private:
    struct Window {
        DisplayNumber cgID = 0;
        std::unique_ptr<OverlayWindow> window;
    };
    Rect frameFor(DisplayNumber display);
    void setDim(Window& window, double level, bool animated);

    WindowServer& windowServer_;
    WindowSystem& windowSystem_;
    std::map<std::string, Window> windows_;
    std::map<std::string, double> brightnessCache_;
};

} // namespace brivio
