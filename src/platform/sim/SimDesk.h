#pragma once
// One simulated desk: the displays of a scenario with their monitors, backlights, registry services,
// screens and overlays, the clock and the location, all on one main loop. `platform()` hands the
// whole desk to the system; the other methods play what users, monitors and other programs do, and
// let tests and the trace see what the system did. Displays are addressed by their scenario index.

#include "base/MainLoop.h"
#include "base/WeakPtr.h"
#include "platform/Platform.h"
#include "platform/sim/Scenario.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimHotKeys.h"
#include "platform/sim/SimIndicator.h"
#include "platform/sim/SimLocation.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimState.h"
#include "platform/sim/SimWindowServer.h"
#include "platform/sim/SimWindowSystem.h"

#include <memory>
#include <ostream>
#include <string>

namespace brivio {

class SimDesk {
public:
    // The desk must outlive every user of its platform.
    SimDesk(MainLoop& loop, Scenario scenario);
    // Throws ScenarioError when the file cannot be used.
    static std::unique_ptr<SimDesk> fromFile(MainLoop& loop, const std::string& path);
    SimDesk(const SimDesk&) = delete;
    SimDesk& operator=(const SimDesk&) = delete;

    Platform platform();
    MainLoop& loop() { return state_.loop; }
    const Scenario& scenario() const { return scenario_; }

    std::size_t displayCount() const { return state_.displays.size(); }
    // Absent while the display is unplugged.
    std::optional<DisplayNumber> displayNumber(std::size_t index) const;
    // The key the system files the display under (also the key of its trace lines).
    std::string stableKey(std::size_t index);

    // Hot-plug, delivered to the reconfiguration callbacks through the loop. A reconnected display
    // gets a new number. False when the display already was in that state.
    bool disconnect(std::size_t index);
    bool connect(std::size_t index);
    void setBounds(std::size_t index, const Rect& bounds);

    // The monitor's current VCP value; absent for a code it does not support or without DDC/CI.
    std::optional<std::uint16_t> vcpValue(std::size_t index, std::uint8_t code) const;
    // The user pressed the monitor's own buttons.
    void setVcpValue(std::size_t index, std::uint8_t code, std::uint16_t value);
    const DDCMonitor& monitor(std::size_t index) const { return display(index).monitor; }
    // The input the monitor shows (low byte of VCP 0x60); absent when it has no input select.
    std::optional<std::uint8_t> inputSource(std::size_t index) const;
    // The monitor's power mode (VCP 0xD6: 1 on, 4 and 5 off); absent when it has no power control.
    std::optional<std::uint16_t> powerMode(std::size_t index) const { return vcpValue(index, 0xD6); }
    // False once the monitor was told to switch itself off.
    bool poweredOn(std::size_t index) const;

    // The backlight level; absent for a display the brightness service refuses.
    std::optional<float> nativeBrightness(std::size_t index) const;
    // Brightness keys pressed outside the system.
    void setNativeBrightness(std::size_t index, float level);
    // The mode and rotation the window server shows the display in; out-of-range requests are ignored.
    std::size_t currentMode(std::size_t index) const;
    void setCurrentMode(std::size_t index, std::size_t mode);
    double rotationAngle(std::size_t index) const;
    void setRotationAngle(std::size_t index, double degrees);

    const GammaTables& gammaTables(std::size_t index) const { return display(index).gamma; }
    const GammaTables& calibration(std::size_t index) const { return display(index).calibration; }
    // red[255] of the tables in force over red[255] of the calibration.
    double gammaFactor(std::size_t index) const;
    // Another program writes the display's gamma tables.
    void overwriteGamma(std::size_t index, const GammaTables& tables);

    // Keeps the gamma tables in force in `path`, as the window server outlives the programs that
    // set them: tables a run left dimmed (because it was killed) are in force again when the next
    // desk starts on the same file. Loads the file now; a missing or unreadable one counts as
    // "all at calibration". Every later change of any display's tables rewrites the file at once.
    void persistGammaState(const std::string& path);

    std::optional<OverlayState> overlayFor(DisplayNumber display) const {
        return windowSystem_.overlayFor(display);
    }
    const std::vector<IndicatorShow>& indicatorShows() const { return indicator_.shows(); }

    void sleepFor(Duration duration) { clock_.sleepFor(duration); }
    void jumpClock(Duration duration) { clock_.jumpClock(duration); }
    void setTimeZone(std::string timeZone) { clock_.setTimeZone(std::move(timeZone)); }

    // Null stops tracing; the stream must outlive the desk or the next call.
    void setTraceStream(std::ostream* stream) { state_.trace.setStream(stream); }
    // Throws std::runtime_error when the file cannot be created.
    void setTraceFile(const std::string& path) { state_.trace.setFile(path); }

    SimWindowServer& windowServer() { return windowServer_; }
    SimRegistry& registry() { return registry_; }
    SimWindowSystem& windowSystem() { return windowSystem_; }
    SimClock& clock() { return clock_; }
    SimLocation& location() { return location_; }
    SimIndicator& indicator() { return indicator_; }
    SimHotKeys& hotKeys() { return hotKeys_; }

    // Plays one scenario event now, whatever its moment.
    void play(const ScenarioEvent& event);

private:
    SimDisplay& display(std::size_t index) const;
    std::string computeKey(const SimDisplay& display);
    AVServiceSymbols avServiceSymbols();
    DisplayServicesSymbols displayServicesSymbols();
    void scheduleGammaResets();
    void loadGammaState();
    void saveGammaState();
    RotationService rotationService();

    Scenario scenario_;
    SimState state_;
    SimWindowServer windowServer_;
    SimRegistry registry_;
    SimWindowSystem windowSystem_;
    SimClock clock_;
    SimLocation location_;
    SimIndicator indicator_;
    SimHotKeys hotKeys_;
    std::string gammaStatePath_;
    WeakPtrFactory<SimDesk> weak{this};
};

} // namespace brivio
