#pragma once
// A headless Wayland compositor of the test's own (sway, weston or mutter) in a runtime folder of its
// own. Absent, with the reason, when it is not installed or does not come up. Sway refuses to run as
// root: under root it runs as the unprivileged user "nobody".

#include "support/PrivateBus.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace brivio::testing {

class HeadlessCompositor {
public:
    enum class Kind { sway, weston, mutter };

    static std::unique_ptr<HeadlessCompositor> start(Kind kind, std::string& whyNot);
    ~HeadlessCompositor();

    // The socket's full path, as a client takes it in place of $WAYLAND_DISPLAY.
    const std::string& socket() const { return socket_; }
    // Mutter's session bus (its display configuration lives there); empty for the others.
    std::string busAddress() const { return bus_ ? bus_->address() : std::string(); }
    // Runs a shell command in the compositor's environment (swaymsg, grim); its standard output, or
    // absent when it fails.
    std::optional<std::string> run(const std::string& command) const;

private:
    HeadlessCompositor() = default;

    std::unique_ptr<TempDir> runtime_;
    std::unique_ptr<PrivateBus> bus_;
    std::string socket_;
    pid_t pid_ = -1;
};

// A screenshot of the whole desktop as grim takes it, in 8-bit RGB.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    // The red value at (x, y); the outputs here are grey, so one channel tells the level.
    int at(int x, int y) const { return rgb[3 * (std::size_t(y) * width + x)]; }
};
std::optional<Screenshot> grab(const HeadlessCompositor& compositor);

} // namespace brivio::testing
