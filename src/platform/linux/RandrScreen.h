#pragma once
// The X server's outputs through RandR: where each output sits, its modes, rotation and EDID, its
// CRTC's gamma ramps, and changes to all of it as events on the connection's fd. Optional at run
// time: without $DISPLAY or without RandR 1.2 there is no screen and callers use their fallbacks.

#include "platform/Geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

struct RandrMode {
    std::uint64_t id = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    double refreshRate = 0; // 0 when the mode has no timing (virtual servers)
};

struct RandrOutput {
    std::uint64_t id = 0;
    std::string name; // "HDMI-1"
    bool connected = false;
    std::vector<std::uint8_t> edid; // the "EDID" property; empty when the output has none
    std::uint64_t crtc = 0;         // 0 when the output is off
    Rect bounds;                    // on the root window, after rotation
    int rotation = 0;               // degrees clockwise
    std::uint64_t mode = 0;         // current mode, 0 when off
    std::vector<RandrMode> modes;
};

// One CRTC's ramps at the CRTC's own size (256, 1024, 4096 ... entries of 0..65535).
struct GammaRamp {
    std::vector<std::uint16_t> red;
    std::vector<std::uint16_t> green;
    std::vector<std::uint16_t> blue;
    std::size_t size() const { return red.size(); }
    bool operator==(const GammaRamp&) const = default;
};

class RandrScreen {
public:
    // `display` replaces $DISPLAY. Null when no server answers or it lacks RandR 1.2 (said in the log).
    static std::unique_ptr<RandrScreen> open(const std::optional<std::string>& display = std::nullopt);
    ~RandrScreen();
    RandrScreen(const RandrScreen&) = delete;
    RandrScreen& operator=(const RandrScreen&) = delete;

    // The connection's fd: readable when events wait.
    int fd() const;
    // Reads every waiting event; true when one of them changed the screen, the outputs or a CRTC
    // (the outputs are then read again).
    bool takeEvents();

    // Read on open and after each change event.
    const std::vector<RandrOutput>& outputs() const { return outputs_; }
    const RandrOutput* output(std::uint64_t id) const;
    void reload();

    // Absent when the CRTC has no ramps (size 0) or reading fails.
    std::optional<GammaRamp> gamma(std::uint64_t crtc);
    // The ramp must have the CRTC's size.
    bool setGamma(std::uint64_t crtc, const GammaRamp& ramp);
    std::size_t gammaSize(std::uint64_t crtc);

    // Lights `output`'s CRTC with `mode` at `rotation` degrees clockwise, keeping its position and
    // growing or shrinking the screen to fit. False when the server refuses.
    bool configure(std::uint64_t output, std::uint64_t mode, int rotation);

    // For tests that have no monitor: sets an output's "EDID" property as a driver would.
    bool setEdidProperty(std::uint64_t output, const std::vector<std::uint8_t>& edid);

private:
    struct Connection;
    explicit RandrScreen(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> x_;
    std::vector<RandrOutput> outputs_;
};

} // namespace brivio
