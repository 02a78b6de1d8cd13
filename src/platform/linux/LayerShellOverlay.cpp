#include "platform/linux/LayerShellOverlay.h"

#include "base/Log.h"

#include <algorithm>
#include <cmath>

#ifdef BRIVIO_HAVE_WAYLAND
#include "viewporter-client-protocol.h"
// The protocol names an argument "namespace", a keyword here.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#endif

namespace brivio {

#ifdef BRIVIO_HAVE_WAYLAND

namespace {
constexpr int pixelBytes = 4;
constexpr const char* layerNamespace = "brivio-dim";
} // namespace

DimBuffers::DimBuffers(WaylandConnection& connection) : connection_(connection) {
    if (!connection_.globals().shm)
        return;
    constexpr std::size_t size = 256 * pixelBytes;
    fd_ = ::memfd_create("brivio-dim", MFD_CLOEXEC);
    if (fd_ < 0 || ::ftruncate(fd_, size) != 0)
        return;
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (data == MAP_FAILED)
        return;
    // Premultiplied ARGB: black at alpha a is a << 24.
    auto* pixels = static_cast<std::uint32_t*>(data);
    for (std::uint32_t a = 0; a < 256; ++a)
        pixels[a] = a << 24;
    ::munmap(data, size);
    pool_ = wl_shm_create_pool(connection_.globals().shm, fd_, size);
}

DimBuffers::~DimBuffers() {
    for (auto* buffer : buffers_)
        if (buffer)
            wl_buffer_destroy(buffer);
    if (pool_)
        wl_shm_pool_destroy(pool_);
    if (fd_ >= 0)
        ::close(fd_);
    connection_.flush();
}

wl_buffer* DimBuffers::forAlpha(std::uint8_t alpha) {
    if (!pool_)
        return nullptr;
    if (!buffers_[alpha])
        buffers_[alpha] =
            wl_shm_pool_create_buffer(pool_, alpha * pixelBytes, 1, 1, pixelBytes, WL_SHM_FORMAT_ARGB8888);
    return buffers_[alpha];
}

struct LayerShellOverlay::Surface {
    wl_surface* surface = nullptr;
    wp_viewport* viewport = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
};

struct LayerShellOverlay::Listeners {
    static void configure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
                          std::uint32_t height) {
        auto* self = static_cast<LayerShellOverlay*>(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        self->width_ = width;
        self->height_ = height;
        self->configured_ = true;
        self->draw();
    }
    static void closed(void* data, zwlr_layer_surface_v1*) {
        auto* self = static_cast<LayerShellOverlay*>(data);
        logDebug(LogCategory::overlay, "Overlay on {} closed by the compositor", self->output_);
        self->destroySurface();
        self->closed_ = true;
    }
    static constexpr zwlr_layer_surface_v1_listener layer{configure, closed};
};

LayerShellOverlay::LayerShellOverlay(WaylandConnection& connection, DimBuffers& buffers, std::string output)
    : connection_(connection), buffers_(buffers), output_(std::move(output)) {
    create();
}

LayerShellOverlay::~LayerShellOverlay() {
    close();
}

void LayerShellOverlay::create() {
    const auto& g = connection_.globals();
    const WaylandOutput* output = connection_.output(output_);
    if (!output || !g.compositor || !g.layerShell || !g.viewporter || !connection_.alive()) {
        closed_ = true;
        return;
    }
    surface_ = std::make_unique<Surface>();
    surface_->surface = wl_compositor_create_surface(g.compositor);
    // Clicks and touches go to whatever lies below.
    wl_region* nothing = wl_compositor_create_region(g.compositor);
    wl_surface_set_input_region(surface_->surface, nothing);
    wl_region_destroy(nothing);
    surface_->viewport = wp_viewporter_get_viewport(g.viewporter, surface_->surface);
    surface_->layer = zwlr_layer_shell_v1_get_layer_surface(
        g.layerShell, surface_->surface, output->output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, layerNamespace);
    zwlr_layer_surface_v1_set_anchor(
        surface_->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(surface_->layer, 0, 0);
    // Over panels and bars too: their reserved space does not push the layer aside.
    zwlr_layer_surface_v1_set_exclusive_zone(surface_->layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(surface_->layer, 0);
    zwlr_layer_surface_v1_add_listener(surface_->layer, &Listeners::layer, this);
    wl_surface_commit(surface_->surface);
    connection_.flush();
    closed_ = false;
    configured_ = false;
}

void LayerShellOverlay::destroySurface() {
    if (!surface_)
        return;
    zwlr_layer_surface_v1_destroy(surface_->layer);
    wp_viewport_destroy(surface_->viewport);
    wl_surface_destroy(surface_->surface);
    surface_.reset();
    configured_ = false;
    connection_.flush();
}

void LayerShellOverlay::draw() {
    if (!surface_ || !configured_ || width_ == 0 || height_ == 0)
        return;
    auto alpha = static_cast<std::uint8_t>(std::lround(std::clamp(opacity_, 0.0f, 1.0f) * 255.0f));
    wl_buffer* buffer = buffers_.forAlpha(alpha);
    if (!buffer)
        return;
    wl_surface_attach(surface_->surface, buffer, 0, 0);
    wp_viewport_set_destination(surface_->viewport, static_cast<std::int32_t>(width_),
                                static_cast<std::int32_t>(height_));
    wl_surface_damage(surface_->surface, 0, 0, static_cast<std::int32_t>(width_),
                      static_cast<std::int32_t>(height_));
    wl_surface_commit(surface_->surface);
    connection_.flush();
}

void LayerShellOverlay::setFrame(const Rect&) {
    // The compositor sizes the layer to its output; only a surface it closed needs making again.
    if (!gone_ && !surface_ && connection_.output(output_))
        create();
}

void LayerShellOverlay::setOpacity(float opacity, bool animated) {
    connection_.loop().cancel(fade_);
    fade_ = 0;
    float target = std::clamp(opacity, 0.0f, 1.0f);
    if (!animated) {
        opacity_ = target;
        draw();
        return;
    }
    step(connection_.loop().now(), opacity_, target);
}

void LayerShellOverlay::step(TimePoint start, float from, float to) {
    double t = std::min(1.0, std::chrono::duration<double>(connection_.loop().now() - start) /
                                 std::chrono::duration<double>(fadeDuration));
    double eased = t * t * (3 - 2 * t);
    opacity_ = static_cast<float>(from + (to - from) * eased);
    draw();
    if (t >= 1.0) {
        fade_ = 0;
        return;
    }
    fade_ =
        connection_.loop().postAfter(fadeStep, [this, start, from, to, token = std::weak_ptr<bool>(token_)] {
            if (!token.expired())
                step(start, from, to);
        });
}

void LayerShellOverlay::close() {
    gone_ = true;
    connection_.loop().cancel(fade_);
    fade_ = 0;
    destroySurface();
}

#else

DimBuffers::DimBuffers(WaylandConnection& connection) : connection_(connection) {}
DimBuffers::~DimBuffers() = default;
wl_buffer* DimBuffers::forAlpha(std::uint8_t) {
    return nullptr;
}
struct LayerShellOverlay::Surface {};
struct LayerShellOverlay::Listeners {};
LayerShellOverlay::LayerShellOverlay(WaylandConnection& connection, DimBuffers& buffers, std::string output)
    : connection_(connection), buffers_(buffers), output_(std::move(output)) {}
LayerShellOverlay::~LayerShellOverlay() = default;
void LayerShellOverlay::setFrame(const Rect&) {}
void LayerShellOverlay::setOpacity(float opacity, bool) {
    opacity_ = opacity;
}
void LayerShellOverlay::close() {}

#endif

} // namespace brivio
