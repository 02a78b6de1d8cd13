#pragma once
// The gamma ramps of Wayland outputs, through wlr-gamma-control. The compositor keeps a client's ramps
// only while it holds the output's control object, and puts the original back when the object goes or
// the client dies; so a control is held exactly while the ramps differ from the identity.

#include "platform/WindowServer.h"
#include "platform/linux/WaylandConnection.h"

#include <map>
#include <optional>
#include <set>
#include <string>

struct zwlr_gamma_control_v1;

namespace brivio {

class WaylandGamma {
public:
    explicit WaylandGamma(WaylandConnection& connection);
    ~WaylandGamma();
    WaylandGamma(const WaylandGamma&) = delete;
    WaylandGamma& operator=(const WaylandGamma&) = delete;

    // Why the output's ramps cannot be set, in plain words; absent when they can, as far as known
    // without asking (asking takes the ramps over for a moment).
    std::optional<std::string> unavailable(const std::string& output);
    // The ramps in force, as the gamma dimmer's tables: the identity, or what this client set. The
    // first read of an output asks the compositor whether its ramps can be had.
    bool read(const std::string& output, GammaTables& tables);
    bool write(const std::string& output, const GammaTables& tables);
    // Lets every output go; the compositor puts their own ramps back.
    void releaseAll();
    bool holds(const std::string& output) const { return controls_.count(output) != 0; }

    static GammaTables identity();

private:
    struct Control {
        zwlr_gamma_control_v1* control = nullptr;
        std::uint32_t size = 0;
        bool failed = false;
        std::optional<GammaTables> applied;
    };
    struct Listeners;
    // A live control of the output, taken now if needed; null when the compositor refuses.
    Control* acquire(const std::string& output);
    void release(const std::string& output);

    WaylandConnection& connection_;
    std::map<std::string, Control> controls_;
    std::map<std::string, std::uint32_t> knownSizes_;
    std::set<std::string> refused_;
};

} // namespace brivio
