#include "platform/linux/WaylandConnection.h"

#include "base/Log.h"

#include <algorithm>
#include <cstring>

#ifdef BRIVIO_HAVE_WAYLAND
#include "viewporter-client-protocol.h"
#include "wlr-gamma-control-unstable-v1-client-protocol.h"
// The protocol names an argument "namespace", a keyword here.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "xdg-output-unstable-v1-client-protocol.h"

#include <poll.h>
#include <sys/epoll.h>
#include <wayland-client.h>
#endif

namespace brivio {

struct WaylandOutput::Pending {
    std::int32_t x = 0, y = 0; // wl_output geometry
    std::int32_t modeWidth = 0, modeHeight = 0;
    std::int32_t transform = 0;
    std::int32_t scale = 1;
    std::optional<Rect> logical; // from the xdg output, when the compositor gives one
    bool turned = false;         // the transform changed since the last "done"
    WaylandConnection* owner = nullptr;
};

#ifdef BRIVIO_HAVE_WAYLAND

namespace {

constexpr std::uint32_t wlOutputVersion = 4;
constexpr std::uint32_t xdgOutputVersion = 3;

template <typename T>
T* bindGlobal(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
              std::uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

} // namespace

WaylandOutput::~WaylandOutput() {
    if (xdgOutput)
        zxdg_output_v1_destroy(xdgOutput);
    if (output) {
        if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(output);
        else
            wl_output_destroy(output);
    }
}

struct WaylandConnection::Listeners {
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        auto* self = static_cast<WaylandConnection*>(data);
        auto& g = self->globals_;
        std::string_view i(interface);
        if (i == wl_compositor_interface.name)
            g.compositor = bindGlobal<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
        else if (i == wl_shm_interface.name)
            g.shm = bindGlobal<wl_shm>(registry, name, &wl_shm_interface, version, 1);
        else if (i == wp_viewporter_interface.name)
            g.viewporter = bindGlobal<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
        else if (i == zwlr_layer_shell_v1_interface.name)
            g.layerShell =
                bindGlobal<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 3);
        else if (i == zwlr_gamma_control_manager_v1_interface.name)
            g.gammaManager = bindGlobal<zwlr_gamma_control_manager_v1>(
                registry, name, &zwlr_gamma_control_manager_v1_interface, version, 1);
        else if (i == zxdg_output_manager_v1_interface.name) {
            g.xdgOutputManager = bindGlobal<zxdg_output_manager_v1>(
                registry, name, &zxdg_output_manager_v1_interface, version, xdgOutputVersion);
            for (auto& output : self->outputs_)
                self->watchXdgOutput(*output);
        } else if (i == wl_output_interface.name)
            self->addOutput(name, version);
        else
            self->announced_.push_back({std::string(i), name, version});
    }
    static void globalRemove(void* data, wl_registry*, std::uint32_t name) {
        static_cast<WaylandConnection*>(data)->removeGlobal(name);
    }

    static WaylandOutput& out(void* data) { return *static_cast<WaylandOutput*>(data); }
    static void geometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                         std::int32_t, const char*, const char*, std::int32_t transform) {
        auto& p = *out(data).pending;
        p.x = x;
        p.y = y;
        p.turned = p.turned || transform != out(data).transform;
        p.transform = out(data).transform = transform;
    }
    static void mode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
                     std::int32_t refresh) {
        if (flags & WL_OUTPUT_MODE_CURRENT) {
            auto& o = out(data);
            o.pending->modeWidth = o.modeWidth = width;
            o.pending->modeHeight = o.modeHeight = height;
            o.refreshMilliHz = refresh;
        }
    }
    static void scale(void* data, wl_output*, std::int32_t factor) {
        out(data).pending->scale = std::max(1, factor);
    }
    static void name(void* data, wl_output*, const char* name) { out(data).name = name; }
    static void description(void* data, wl_output*, const char* text) { out(data).description = text; }
    static void done(void* data, wl_output*);

    static void logicalPosition(void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
        auto& p = *out(data).pending;
        Rect r = p.logical.value_or(Rect{});
        r.x = x;
        r.y = y;
        p.logical = r;
    }
    static void logicalSize(void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
        auto& p = *out(data).pending;
        Rect r = p.logical.value_or(Rect{});
        r.width = width;
        r.height = height;
        p.logical = r;
    }
    static void xdgDone(void* data, zxdg_output_v1* xdg) {
        // Since version 3 the wl_output's own "done" closes each change.
        if (zxdg_output_v1_get_version(xdg) < 3)
            done(data, nullptr);
    }
    static void xdgName(void* data, zxdg_output_v1*, const char* name) {
        if (out(data).name.empty())
            out(data).name = name;
    }
    static void xdgDescription(void* data, zxdg_output_v1*, const char* text) {
        if (out(data).description.empty())
            out(data).description = text;
    }

    static constexpr wl_registry_listener registry{global, globalRemove};
    static constexpr wl_output_listener output{geometry, mode, done, scale, name, description};
    static constexpr zxdg_output_v1_listener xdgOutput{logicalPosition, logicalSize, xdgDone, xdgName,
                                                       xdgDescription};
};

void WaylandConnection::Listeners::done(void* data, wl_output*) {
    auto& output = out(data);
    output.pending->owner->outputDone(output);
}

std::unique_ptr<WaylandConnection> WaylandConnection::open(MainLoop& loop, FdWatcher* events,
                                                           const std::optional<std::string>& socket) {
    // Not a Wayland session: libwayland would otherwise try "wayland-0" on its own.
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value ? std::optional<std::string>(value) : std::nullopt;
    };
    auto where = socket ? socket : set("WAYLAND_DISPLAY");
    if (!where && !set("WAYLAND_SOCKET"))
        return nullptr;
    wl_display* display = wl_display_connect(where ? where->c_str() : nullptr);
    if (!display) {
        logInfo(LogCategory::detection, "Wayland: no compositor answers at {} ({})",
                where.value_or("$WAYLAND_SOCKET"), std::strerror(errno));
        return nullptr;
    }
    auto connection = std::unique_ptr<WaylandConnection>(new WaylandConnection(loop, events, display));
    // The first trip brings the globals, the second the outputs' properties.
    if (!connection->roundtrip() || !connection->roundtrip())
        return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(MainLoop& loop, FdWatcher* events, wl_display* display)
    : loop_(loop), events_(events), display_(display) {
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &Listeners::registry, this);
    if (events_)
        watching_ = events_->watchFd(wl_display_get_fd(display_), EPOLLIN,
                                     [this](std::uint32_t ready) { readEvents(ready); });
}

WaylandConnection::~WaylandConnection() {
    if (watching_)
        events_->unwatchFd(wl_display_get_fd(display_));
    outputs_.clear();
    if (globals_.xdgOutputManager)
        zxdg_output_manager_v1_destroy(globals_.xdgOutputManager);
    if (globals_.gammaManager)
        zwlr_gamma_control_manager_v1_destroy(globals_.gammaManager);
    if (globals_.layerShell)
        zwlr_layer_shell_v1_destroy(globals_.layerShell);
    if (globals_.viewporter)
        wp_viewporter_destroy(globals_.viewporter);
    if (globals_.shm)
        wl_shm_destroy(globals_.shm);
    if (globals_.compositor)
        wl_compositor_destroy(globals_.compositor);
    wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

std::optional<WaylandConnection::Announced> WaylandConnection::announced(std::string_view interface) const {
    for (const auto& a : announced_)
        if (a.interface == interface)
            return a;
    return std::nullopt;
}

void WaylandConnection::addOutput(std::uint32_t name, std::uint32_t version) {
    auto output = std::make_unique<WaylandOutput>();
    output->globalName = name;
    output->pending = std::make_unique<WaylandOutput::Pending>();
    output->pending->owner = this;
    output->output = bindGlobal<wl_output>(registry_, name, &wl_output_interface, version, wlOutputVersion);
    wl_output_add_listener(output->output, &Listeners::output, output.get());
    if (globals_.xdgOutputManager)
        watchXdgOutput(*output);
    outputs_.push_back(std::move(output));
}

void WaylandConnection::watchXdgOutput(WaylandOutput& output) {
    if (output.xdgOutput || !globals_.xdgOutputManager)
        return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(globals_.xdgOutputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &Listeners::xdgOutput, &output);
}

void WaylandConnection::outputDone(WaylandOutput& output) {
    const auto& p = *output.pending;
    Rect bounds;
    if (p.logical && p.logical->width > 0 && p.logical->height > 0) {
        bounds = *p.logical;
    } else {
        // No xdg output: the mode in pixels, turned and divided by the output's integer scale.
        bool sideways = p.transform % 2 == 1;
        double w = sideways ? p.modeHeight : p.modeWidth;
        double h = sideways ? p.modeWidth : p.modeHeight;
        bounds = {double(p.x), double(p.y), w / p.scale, h / p.scale};
    }
    if (output.ready && bounds == output.bounds && !p.turned)
        return;
    output.pending->turned = false;
    output.bounds = bounds;
    output.ready = true;
    notifySoon();
}

void WaylandConnection::removeGlobal(std::uint32_t name) {
    auto it = std::find_if(outputs_.begin(), outputs_.end(), [&](auto& o) { return o->globalName == name; });
    if (it != outputs_.end()) {
        outputs_.erase(it);
        notifySoon();
        return;
    }
    std::erase_if(announced_, [&](auto& a) { return a.name == name; });
}

std::vector<const WaylandOutput*> WaylandConnection::outputs() const {
    std::vector<const WaylandOutput*> out;
    for (const auto& o : outputs_)
        if (o->ready && !o->name.empty())
            out.push_back(o.get());
    return out;
}

const WaylandOutput* WaylandConnection::output(std::string_view name) const {
    for (const auto* o : outputs())
        if (o->name == name)
            return o;
    return nullptr;
}

void WaylandConnection::notifySoon() {
    if (notifyPosted_)
        return;
    notifyPosted_ = true;
    loop_.post([this, token = std::weak_ptr<bool>(token_)] {
        if (token.expired())
            return;
        notifyPosted_ = false;
        outputsChanged_.emit();
    });
}

bool WaylandConnection::roundtrip() {
    if (!alive_)
        return false;
    if (wl_display_roundtrip(display_) < 0) {
        lost();
        return false;
    }
    return true;
}

void WaylandConnection::flush() {
    if (alive_ && wl_display_flush(display_) < 0 && errno != EAGAIN)
        lost();
}

void WaylandConnection::readEvents(std::uint32_t ready) {
    if (!alive_)
        return;
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0)
            return lost();
    // The events may already have been taken by a round trip: read only what is really there.
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if ((ready & EPOLLIN) && ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
        if (wl_display_read_events(display_) < 0)
            return lost();
    } else {
        wl_display_cancel_read(display_);
    }
    if (wl_display_dispatch_pending(display_) < 0 || (ready & (EPOLLHUP | EPOLLERR)))
        return lost();
    flush();
}

void WaylandConnection::lost() {
    if (!alive_)
        return;
    alive_ = false;
    logError(LogCategory::detection, "Wayland: the connection to the compositor was lost ({})",
             std::strerror(wl_display_get_error(display_)));
    if (watching_) {
        events_->unwatchFd(wl_display_get_fd(display_));
        watching_ = false;
    }
    outputs_.clear();
    notifySoon();
}

#else

WaylandOutput::~WaylandOutput() = default;
struct WaylandConnection::Listeners {};

std::unique_ptr<WaylandConnection> WaylandConnection::open(MainLoop&, FdWatcher*,
                                                           const std::optional<std::string>&) {
    return nullptr;
}
WaylandConnection::~WaylandConnection() = default;
std::optional<WaylandConnection::Announced> WaylandConnection::announced(std::string_view) const {
    return std::nullopt;
}
std::vector<const WaylandOutput*> WaylandConnection::outputs() const {
    return {};
}
const WaylandOutput* WaylandConnection::output(std::string_view) const {
    return nullptr;
}
bool WaylandConnection::roundtrip() {
    return false;
}
void WaylandConnection::flush() {}

#endif

} // namespace brivio
