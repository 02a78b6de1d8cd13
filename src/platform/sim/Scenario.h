#pragma once
// A simulated desk as a scenario file describes it: displays with their identities, DDC/CI monitor
// tables, backlights, modes and registry services, plus the clock and the location. Parsing validates
// every field and names the offending one by its JSON path.

#include "base/Time.h"
#include "platform/Geometry.h"
#include "platform/LocationService.h"
#include "platform/WallClock.h"
#include "platform/WindowServer.h"

#include <array>
#include <cstdint>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace brivio {

// A scenario that cannot be used: which file, which field (for example displays[1].ddc.vcp.0x10) and
// what was expected there. what() reads "<file>: <path>: expected <expected>".
class ScenarioError : public std::runtime_error {
public:
    ScenarioError(std::string file, std::string path, std::string expected);
    const std::string& file() const { return file_; }
    const std::string& path() const { return path_; }
    const std::string& expected() const { return expected_; }

private:
    std::string file_;
    std::string path_;
    std::string expected_;
};

struct VcpFeature {
    std::uint16_t current = 0;
    std::uint16_t max = 0;
    bool operator==(const VcpFeature&) const = default;
};

// How the monitor behind a display's I2C channel answers DDC/CI.
struct ScenarioDDC {
    std::map<std::uint8_t, VcpFeature> vcp;
    int failReads = 0;   // the first N read calls fail at the bus
    int zeroReplies = 0; // the next N read calls succeed with an all-zero buffer
    bool writeFails = false;
    bool strictTiming = false; // a reply is ready only 40 ms after its request
    int minWriteIntervalMs = 0;
    // The input values (low byte of VCP 0x60) the monitor can switch to; absent: every value.
    std::optional<std::vector<std::uint8_t>> inputs;
};

// One registry service of a display, when the scenario lays them out itself.
struct ScenarioService {
    std::string className;
    std::optional<std::uint32_t> vendor;
    std::optional<std::uint32_t> product;
    std::optional<std::uint32_t> serial;
    std::optional<std::uint32_t> unit;
    std::string unitKey = "DisplayUnit";
    bool avCapable = false;
    std::optional<bool> i2c; // absent: the service carries a channel exactly when it is AV-capable
    bool attributesOnly = false;
    bool propertiesUnreadable = false;
    bool edid = true;
};

struct ScenarioMode {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pixelWidth = 0;
    std::uint32_t pixelHeight = 0;
    double refreshRate = 60;
    bool usable = true;
};

// The ways a display can be turned, each present or absent (and, when present, working or refusing).
enum class RotationPath {
    framebuffer,        // the frame buffer's "Rotation" parameter
    displayService,     // the window server hands out the display's service, which takes the parameter
    displayRotation,    // the window server's rotation call by display number
    connectionRotation, // the window server's rotation call on the process's connection
    userRotation,       // the display service's user rotation (reports nothing back)
};

struct ScenarioRotationPath {
    RotationPath path = RotationPath::framebuffer;
    bool fails = false;
    bool operator==(const ScenarioRotationPath&) const = default;
};

// The step of a mode transaction that the window server refuses.
enum class ModeChangeStep { none, begin, configure, complete };

// The gamma table the system calibration restores: channelMax × (i / 255)^gamma.
struct ScenarioCalibration {
    double gamma = 1.0;
    double red = 1.0;
    double green = 1.0;
    double blue = 1.0;
};

struct ScenarioDisplay {
    std::string name;
    bool builtIn = false;
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    std::uint32_t serial = 0;
    std::uint32_t unit = 0;
    std::optional<DisplayNumber> displayNumber;
    Rect bounds;
    double rotation = 0;
    // Absent: only the frame buffer turns the display (external displays have one).
    std::optional<std::vector<ScenarioRotationPath>> rotationPaths;
    ModeChangeStep modeChangeFailsAt = ModeChangeStep::none;
    int refreshRate = 60;
    bool screen = true;
    bool connected = true;
    std::optional<double> nativeBrightness;
    std::optional<ScenarioDDC> ddc;
    std::optional<std::vector<ScenarioService>> services;
    std::vector<ScenarioMode> modes;
    std::size_t currentMode = 0; // meaningful when `modes` is not empty
    ScenarioCalibration calibration;
    bool gammaFails = false;
    // What the simulated desktop cannot do for this display (as a Wayland desktop without a layer shell,
    // gamma control or output configuration), each with the reason it gives.
    std::optional<std::string> overlayUnavailable;
    std::optional<std::string> gammaUnavailable;
    std::optional<std::string> modesUnavailable;
    // Virtual instants (ms after the desk starts) at which another program puts the calibration back.
    std::vector<long long> gammaResetAtMs;
};

struct ScenarioClock {
    WallTime start;
    std::string timeZone = "UTC";
};

struct ScenarioLocation {
    std::optional<GeoCoordinate> position;
    int status = LocationAuthorization::notDetermined;
    // What the user answers when asked for permission.
    int promptAnswer = LocationAuthorization::authorizedAlways;
};

// What happens to one display in an event: the faults of real desks.
enum class DeskAction {
    none,
    plug,               // plugged in (add, then enabled)
    unplug,             // unplugged (remove)
    moved,              // a reconfiguration that changes nothing (moved)
    ddcStops,           // the monitor stops answering DDC/CI
    ddcAnswers,         // and answers again
    refuseSetVcp,       // the next `count` Set VCP writes fail at the bus
    failBacklightReads, // the backlight's next `count` reads fail
    writeGamma,         // another program writes the gamma tables: the calibration times `gamma`
};

// Something that happens at a moment of the desk's own time: the machine sleeps (the wall clock runs
// on, the loop stands still, a wake follows), its clock is set by a signed amount, or `action` happens
// to the display with index `display`.
struct ScenarioEvent {
    Duration at{0}; // after the desk's creation, in loop time
    std::optional<Duration> sleepFor;
    std::optional<Duration> clockJump;
    DeskAction action = DeskAction::none;
    std::size_t display = 0;
    int count = 0;
    std::array<double, 3> gamma{1, 1, 1}; // red, green, blue
    bool operator==(const ScenarioEvent&) const = default;
};

struct Scenario {
    std::string source; // the file name, or what the text was called
    std::vector<ScenarioDisplay> displays;
    ScenarioClock clock;
    ScenarioLocation location;
    std::vector<ScenarioEvent> events; // in the order they happen

    // Throws ScenarioError.
    static Scenario fromJson(const nlohmann::json& document, const std::string& source);
    static Scenario parse(const std::string& text, const std::string& source);
    static Scenario load(const std::string& path);
};

// "2024-06-21T04:00:00Z" or with an offset such as "+02:00"; absent when malformed.
std::optional<WallTime> parseInstant(const std::string& text);

} // namespace brivio
