#pragma once
// A Wayland client connection of our own: the compositor's globals this backend uses and its outputs,
// each with its name and logical place on the desktop. Events are read when the socket turns readable
// on the main loop; a blocking round trip is made only where an answer is needed at once.

#include "base/FdWatcher.h"
#include "base/MainLoop.h"
#include "base/Signal.h"
#include "platform/Geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_output;
struct wp_viewporter;
struct zwlr_layer_shell_v1;
struct zwlr_gamma_control_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace brivio {

struct WaylandOutput {
    std::uint32_t globalName = 0;
    std::string name; // "HDMI-A-1"; empty until the compositor names it
    std::string description;
    Rect bounds;        // logical pixels on the desktop
    bool ready = false; // its properties have arrived at least once
    // The current mode in pixels and the transform, as the output itself tells them.
    std::int32_t modeWidth = 0, modeHeight = 0, refreshMilliHz = 0;
    std::int32_t transform = 0; // wl_output.transform
    wl_output* output = nullptr;

    // Filled while the events arrive; `bounds` is made from them at each "done".
    struct Pending;
    std::unique_ptr<Pending> pending;
    zxdg_output_v1* xdgOutput = nullptr;
    ~WaylandOutput();
};

class WaylandConnection {
public:
    struct Globals {
        wl_compositor* compositor = nullptr;
        wl_shm* shm = nullptr;
        wp_viewporter* viewporter = nullptr;
        zwlr_layer_shell_v1* layerShell = nullptr;
        zwlr_gamma_control_manager_v1* gammaManager = nullptr;
        zxdg_output_manager_v1* xdgOutputManager = nullptr;
    };
    // A global this connection leaves to others to bind (the output manager).
    struct Announced {
        std::string interface;
        std::uint32_t name = 0;
        std::uint32_t version = 0;
    };

    // Null when no compositor answers at `socket` (absent: $WAYLAND_DISPLAY), or in a build without
    // Wayland. `events` (may be null) delivers later events; without it they arrive with round trips.
    static std::unique_ptr<WaylandConnection> open(MainLoop& loop, FdWatcher* events,
                                                   const std::optional<std::string>& socket = std::nullopt);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    wl_registry* registry() const { return registry_; }
    const Globals& globals() const { return globals_; }
    std::optional<Announced> announced(std::string_view interface) const;
    // False once the compositor has gone (or broke the connection); every later request is dropped.
    bool alive() const { return alive_; }

    // Named and ready outputs, in the order the compositor announced them.
    std::vector<const WaylandOutput*> outputs() const;
    const WaylandOutput* output(std::string_view name) const;
    // Once per burst of outputs appearing, going or changing, and when the connection is lost.
    Signal<>& outputsChanged() { return outputsChanged_; }

    // Sends what is queued and waits until the compositor has answered all of it.
    bool roundtrip();
    void flush();
    MainLoop& loop() { return loop_; }

private:
    struct Listeners;
    WaylandConnection(MainLoop& loop, FdWatcher* events, wl_display* display);
    void addOutput(std::uint32_t name, std::uint32_t version);
    void removeGlobal(std::uint32_t name);
    void watchXdgOutput(WaylandOutput& output);
    void outputDone(WaylandOutput& output);
    void notifySoon();
    void readEvents(std::uint32_t events);
    void lost();

    MainLoop& loop_;
    FdWatcher* events_;
    wl_display* display_;
    wl_registry* registry_ = nullptr;
    Globals globals_;
    std::vector<Announced> announced_;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;
    Signal<> outputsChanged_;
    bool alive_ = true;
    bool watching_ = false;
    bool notifyPosted_ = false;
    std::shared_ptr<bool> token_ = std::make_shared<bool>(true);
};

} // namespace brivio
