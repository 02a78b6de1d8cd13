#pragma once
// The agent's object on the session bus: the displays with their levels, presets, schedules, the
// solar curve, sync, Extended Dimming, inputs and power, modes and rotation with their timed revert,
// and the panel. Every call runs on the main thread through the same controller and store operations
// as the panel's controls, under the same rules; bad arguments get a named error and change nothing.
// Signals tell of every change, whoever made it.

#include "app/AppServices.h"
#include "app/bus/BusConnection.h"
#include "modes/DisplayControlStrip.h"
#include "modes/DisplayModeManager.h"

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace sdbus {
class IObject;
}

namespace brivio::bus {

class AgentBusService {
public:
    static constexpr Duration signalSpacing = 40ms;

    struct Options {
        // Opens the panel; absent where there is none (the bus then answers Unsupported).
        std::function<void()> showPanel;
    };

    // Exports the object on `bus` and serves it on `loop` and `watcher` once the first enumeration has
    // published the displays: calls made while the agent starts wait for it rather than find no display.
    // Services, bus and watcher must outlive the service.
    AgentBusService(BusConnection& bus, AppServices& services, MainLoop& loop, FdWatcher& watcher,
                    Options options);
    ~AgentBusService();
    AgentBusService(const AgentBusService&) = delete;
    AgentBusService& operator=(const AgentBusService&) = delete;

private:
    // A display's mode and rotation changes made over the bus, with the countdowns they wait in.
    struct ModeSession {
        std::unique_ptr<DisplayControlStrip> strip;
        Signal<PendingKind>::Subscription changed;
        bool pending[2] = {false, false};
        bool keeping[2] = {false, false};
    };

    void registerAgent();
    void registerDisplays();
    void registerModes();
    void registerAutomation();

    // Displays named by a stable key or a 1-based position; "all" only where `allowAll`.
    const ManagedDisplay& displayNamed(const std::string& word);
    std::vector<ManagedDisplay> displaysNamed(const std::string& word);
    BrightnessPreset presetNamed(const std::string& word);
    PresetSchedule scheduleNamed(const std::string& word);

    void setLevel(const std::string& display, const std::string& control, double level, bool relative,
                  bool animated, std::map<std::string, double>* targets);
    ModeSession& modeSession(const ManagedDisplay& display, bool fresh);
    void stripChanged(const std::string& key, PendingKind kind);

    // Change signals: every change of the preferences or the displays is looked at once per
    // `signalSpacing` at most, and a signal goes out for each thing that differs from the last look.
    void noteChange();
    void emitChanges();
    // What the connection had to queue (a socket that was full) goes out on the next turn; a signal
    // emitted inside a member may not process the connection itself.
    void sendSoon();
    struct Snapshot {
        std::map<std::pair<std::string, std::string>, double> levels;
        nlohmann::json displays, presets, schedules, solar, location, syncLeader;
    };
    Snapshot snapshot();

    BusConnection& bus_;
    AppServices& services_;
    MainLoop& loop_;
    Options options_;
    DisplayModeManager modeManager_;
    std::map<std::string, std::unique_ptr<ModeSession>> modeSessions_;
    std::unique_ptr<sdbus::IObject> object_;
    Snapshot last_;
    std::optional<TimerId> flushTimer_;
    std::optional<TimerId> sendTimer_;
    std::optional<TimePoint> lastFlush_;
    std::vector<Signal<>::Subscription> subscriptions_;
    Signal<>::Subscription firstDisplays_;
    WeakPtrFactory<AgentBusService> weak_{this};
};

} // namespace brivio::bus
