#pragma once
// A Wayland server of the test's own, on its own thread: outputs with names and wlr-gamma-control,
// recording the ramps each output is given and whether a client holds its control. Headless compositors
// have no gamma ramps, so gamma is tested against this stand-in.

#include "support/TestSupport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brivio::testing {

class GammaCompositor {
public:
    struct Ramps {
        std::vector<std::uint16_t> red, green, blue;
    };

    // Null in a build without the server library. `outputs` are the names, each 1920 × 1080.
    static std::unique_ptr<GammaCompositor> start(const std::vector<std::string>& outputs,
                                                  std::uint32_t gammaSize = 1024);
    ~GammaCompositor();

    const std::string& socket() const { return socket_; }
    // The ramps a client last set on the output while holding its control; absent when none holds it
    // (the compositor's own ramps are in force).
    std::optional<Ramps> ramps(const std::string& output) const;
    // Controls taken so far, over all outputs.
    int controlsTaken() const;

    struct Server; // the server's state, shared with its thread

private:
    GammaCompositor() = default;
    TempDir dir_;
    std::string socket_;
    std::unique_ptr<Server> server_;
};

} // namespace brivio::testing
