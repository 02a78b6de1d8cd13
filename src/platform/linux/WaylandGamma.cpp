#include "platform/linux/WaylandGamma.h"

#include "base/Log.h"
#include "platform/linux/GammaBaselines.h"

#include <cmath>

#ifdef BRIVIO_HAVE_WAYLAND
#include "wlr-gamma-control-unstable-v1-client-protocol.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#endif

namespace brivio {

GammaTables WaylandGamma::identity() {
    GammaTables tables;
    for (std::size_t i = 0; i < gammaTableSize; ++i)
        tables.red[i] = tables.green[i] = tables.blue[i] = float(i) / float(gammaTableSize - 1);
    return tables;
}

namespace {

bool isIdentity(const GammaTables& tables) {
    static const GammaTables one = WaylandGamma::identity();
    for (std::size_t i = 0; i < gammaTableSize; ++i)
        for (auto [a, b] : {std::pair{tables.red[i], one.red[i]}, std::pair{tables.green[i], one.green[i]},
                            std::pair{tables.blue[i], one.blue[i]}})
            if (std::fabs(a - b) > 1e-6f)
                return false;
    return true;
}

} // namespace

#ifdef BRIVIO_HAVE_WAYLAND

struct WaylandGamma::Listeners {
    static void size(void* data, zwlr_gamma_control_v1*, std::uint32_t size) {
        static_cast<Control*>(data)->size = size;
    }
    static void failed(void* data, zwlr_gamma_control_v1*) { static_cast<Control*>(data)->failed = true; }
    static constexpr zwlr_gamma_control_v1_listener listener{size, failed};
};

WaylandGamma::WaylandGamma(WaylandConnection& connection) : connection_(connection) {}

WaylandGamma::~WaylandGamma() {
    releaseAll();
}

std::optional<std::string> WaylandGamma::unavailable(const std::string& output) {
    if (!connection_.globals().gammaManager)
        return "this desktop gives apps no control of the gamma ramps (no wlr-gamma-control)";
    if (!connection_.output(output))
        return fmt::format("the desktop shows no output named {}", output);
    if (refused_.count(output))
        return fmt::format("the desktop refused gamma control of {} (it has no gamma ramps, or another "
                           "program, such as a night-light tool, holds them)",
                           output);
    return std::nullopt;
}

WaylandGamma::Control* WaylandGamma::acquire(const std::string& output) {
    auto it = controls_.find(output);
    if (it != controls_.end() && !it->second.failed)
        return &it->second;
    if (it != controls_.end())
        release(output);
    const WaylandOutput* o = connection_.output(output);
    if (!o || !connection_.globals().gammaManager || !connection_.alive())
        return nullptr;
    Control& control = controls_[output];
    control.control =
        zwlr_gamma_control_manager_v1_get_gamma_control(connection_.globals().gammaManager, o->output);
    zwlr_gamma_control_v1_add_listener(control.control, &Listeners::listener, &control);
    connection_.roundtrip();
    if (control.failed || control.size == 0) {
        knownSizes_.erase(output);
        refused_.insert(output);
        release(output);
        return nullptr;
    }
    knownSizes_[output] = control.size;
    refused_.erase(output);
    return &control;
}

void WaylandGamma::release(const std::string& output) {
    auto it = controls_.find(output);
    if (it == controls_.end())
        return;
    zwlr_gamma_control_v1_destroy(it->second.control);
    controls_.erase(it);
    connection_.flush();
}

void WaylandGamma::releaseAll() {
    while (!controls_.empty())
        release(controls_.begin()->first);
}

bool WaylandGamma::read(const std::string& output, GammaTables& tables) {
    if (!connection_.globals().gammaManager || !connection_.output(output))
        return false;
    if (auto it = controls_.find(output); it != controls_.end() && !it->second.failed) {
        tables = it->second.applied.value_or(identity());
        return true;
    }
    // The first read of an output asks the compositor for its control, to know it can be had; until
    // something is dimmed the ramps stay the compositor's.
    if (!knownSizes_.count(output)) {
        if (!acquire(output))
            return false;
        release(output);
    }
    tables = identity();
    return true;
}

bool WaylandGamma::write(const std::string& output, const GammaTables& tables) {
    if (isIdentity(tables)) {
        // The compositor puts its own ramps back when the control goes, now or if this process dies.
        release(output);
        return connection_.alive();
    }
    Control* control = acquire(output);
    if (!control)
        return false;
    GammaRamp ramp = rampFromTables(tables, control->size);
    int fd = ::memfd_create("brivio-gamma", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    bool written = true;
    for (const auto* channel : {&ramp.red, &ramp.green, &ramp.blue}) {
        auto size = channel->size() * sizeof(std::uint16_t);
        written = written && ::write(fd, channel->data(), size) == static_cast<ssize_t>(size);
    }
    written = written && ::lseek(fd, 0, SEEK_SET) == 0;
    if (written) {
        zwlr_gamma_control_v1_set_gamma(control->control, fd);
        connection_.flush();
        control->applied = tables;
    }
    ::close(fd);
    return written && connection_.alive();
}

#else

struct WaylandGamma::Listeners {};
WaylandGamma::WaylandGamma(WaylandConnection& connection) : connection_(connection) {}
WaylandGamma::~WaylandGamma() = default;
std::optional<std::string> WaylandGamma::unavailable(const std::string&) {
    return "this build has no Wayland support";
}
bool WaylandGamma::read(const std::string&, GammaTables&) {
    return false;
}
bool WaylandGamma::write(const std::string&, const GammaTables&) {
    return false;
}
void WaylandGamma::releaseAll() {}

#endif

} // namespace brivio
