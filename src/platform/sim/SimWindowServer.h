#pragma once
// The simulated window server: numbered displays with their identities and geometry, reconfiguration
// callbacks delivered through the loop, gamma tables over a calibration, modes and mode transactions,
// and the hot-plug and outside-program actions a desk can play.

#include "base/WeakPtr.h"
#include "platform/WindowServer.h"
#include "platform/sim/SimState.h"

#include <functional>
#include <map>

namespace brivio {

namespace SimResult {
constexpr int cgFailure = 1000;
constexpr int cgIllegalArgument = 1001;
} // namespace SimResult

class SimWindowServer final : public WindowServer {
public:
    explicit SimWindowServer(SimState& state);

    std::optional<std::vector<DisplayNumber>> activeDisplays() override;
    std::optional<std::vector<DisplayNumber>> onlineDisplays() override;
    std::uint32_t vendorNumber(DisplayNumber display) override;
    std::uint32_t modelNumber(DisplayNumber display) override;
    std::uint32_t serialNumber(DisplayNumber display) override;
    std::uint32_t unitNumber(DisplayNumber display) override;
    bool isBuiltin(DisplayNumber display) override;
    Rect bounds(DisplayNumber display) override;
    double rotation(DisplayNumber display) override;
    int registerReconfigurationCallback(ReconfigurationCallback callback) override;
    void unregisterReconfigurationCallback(int id) override;
    void restoreColorSyncSettings() override;
    int getTransferTables(DisplayNumber display, GammaTables& tables) override;
    int setTransferTables(DisplayNumber display, const GammaTables& tables) override;
    std::optional<std::string> gammaUnavailable(DisplayNumber display) override;
    std::optional<std::string> modesUnavailable(DisplayNumber display) override;
    std::optional<std::vector<PlatformMode>> allDisplayModes(DisplayNumber display) override;
    std::optional<PlatformMode> currentDisplayMode(DisplayNumber display) override;
    std::unique_ptr<DisplayConfiguration> beginConfiguration(int& result) override;

    // Plugs a display in under a new number (add, then enabled); false when it already is.
    bool connect(SimDisplay& display);
    // Unplugs a display (remove); false when it is not plugged in.
    bool disconnect(SimDisplay& display);
    void setBounds(SimDisplay& display, const Rect& bounds);
    // Turns a display (setMode); width and height swap between landscape and portrait.
    void setRotation(SimDisplay& display, double degrees);
    // Another program writes the display's tables.
    void overwriteGamma(SimDisplay& display, const GammaTables& tables);
    // Applies a mode of the display's list (setMode).
    void switchMode(SimDisplay& display, std::size_t modeIndex);
    void setDisplayListFails(bool fails) { listFails_ = fails; }
    int restoreCount() const { return restores_; }

    // Called after every change of the screens (connect, disconnect, geometry, mode).
    std::function<void()> onScreensChanged;

private:
    SimDisplay* find(DisplayNumber display) const { return state_.connected(display); }
    std::optional<std::vector<DisplayNumber>> list();
    void fire(DisplayNumber display, std::uint32_t flags);
    void screensChanged();
    PlatformMode mode(const SimDisplay& display, std::size_t index) const;
    // True (and traced) when the scenario makes `display` refuse this step of a mode transaction.
    bool refuses(SimDisplay* display, ModeChangeStep step);
    double gammaFactor(const SimDisplay& display, const GammaTables& tables) const;

    SimState& state_;
    std::map<int, ReconfigurationCallback> callbacks_;
    int nextCallbackId_ = 1;
    DisplayNumber highestNumber_ = 0;
    bool listFails_ = false;
    int restores_ = 0;
    WeakPtrFactory<SimWindowServer> weak{this};
};

} // namespace brivio
