#pragma once
// Dimming windows on Wayland: one wlr-layer-shell surface per output on the overlay layer, stretched
// over the whole output, click-through (an empty input region), taking no keys and ignoring other
// surfaces' reserved space. Its one black pixel's alpha is the dim level, so the compositor darkens
// every pixel below it.

#include "base/MainLoop.h"
#include "platform/WindowSystem.h"
#include "platform/linux/WaylandConnection.h"

#include <array>
#include <memory>
#include <string>

struct wl_buffer;
struct wl_shm_pool;

namespace brivio {

// The 256 one-pixel buffers, black at each alpha, that every overlay of a connection shares: their
// contents never change, so a buffer may be attached anywhere at any time.
class DimBuffers {
public:
    explicit DimBuffers(WaylandConnection& connection);
    ~DimBuffers();
    DimBuffers(const DimBuffers&) = delete;
    DimBuffers& operator=(const DimBuffers&) = delete;
    // Null when the shared memory could not be made.
    wl_buffer* forAlpha(std::uint8_t alpha);

private:
    WaylandConnection& connection_;
    int fd_ = -1;
    wl_shm_pool* pool_ = nullptr;
    std::array<wl_buffer*, 256> buffers_{};
};

class LayerShellOverlay final : public OverlayWindow {
public:
    static constexpr Duration fadeDuration = 350ms;
    static constexpr Duration fadeStep = 16ms;

    // Covers the output named `output` from now on; when the compositor closes the surface (the
    // output went), the next `setFrame` makes it again if the output is back.
    LayerShellOverlay(WaylandConnection& connection, DimBuffers& buffers, std::string output);
    ~LayerShellOverlay() override;

    void setFrame(const Rect& frame) override;
    void setOpacity(float opacity, bool animated) override;
    void close() override;

    // The compositor has placed the surface and it shows the current level.
    bool shown() const { return configured_ && !closed_; }
    float opacity() const { return opacity_; }

private:
    struct Listeners;
    void create();
    void destroySurface();
    void draw();
    void step(TimePoint start, float from, float to);

    WaylandConnection& connection_;
    DimBuffers& buffers_;
    std::string output_;
    struct Surface;
    std::unique_ptr<Surface> surface_;
    bool configured_ = false;
    bool closed_ = false;
    bool gone_ = false; // closed by its owner
    float opacity_ = 0;
    std::uint32_t width_ = 0, height_ = 0;
    TimerId fade_ = 0;
    std::shared_ptr<bool> token_ = std::make_shared<bool>(true);
};

} // namespace brivio
