#pragma once
// One run of the command line: the backend (simulator or this desktop), the settings store and the
// process's services (preferences, controller, schedules, shortcuts), brought up to the end of the
// first enumeration.

#include "app/AppServices.h"
#include "settings/FileKeyValueStore.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brivio {
class VirtualLoop;
class RealLoop;
class SimDesk;
class LinuxPlatform;
} // namespace brivio

namespace brivio::cli {

struct GlobalOptions {
    std::optional<std::string> simFile;
    std::optional<std::string> configDir;
    std::optional<std::string> traceFile;
    // --sysfs: the DRM and backlight tree is read from here instead of /sys.
    std::optional<std::string> sysfsRoot;
    // --advance: how long time runs on after the command, so that schedules can fire.
    long long advanceMs = 0;
    // --json: what a command prints is one JSON value.
    bool json = false;
    // --agent: only through the running agent (an error when none runs); --standalone: never.
    bool agent = false;
    bool standalone = false;
};

// What a command needs of the displays. Without an agent the command itself talks to the monitors, so
// it probes only the displays it names and asks them only what it needs. Default: every display,
// probed in full, as the agent does.
struct DisplayScope {
    // Words that name displays (a key, a number from 'list', or all); absent: every display.
    std::optional<std::vector<std::string>> names;
    DDCProbeOptions probe;

    // A probe that only reads: brightness, and the features asked for. Nothing is written.
    static DisplayScope reading(std::optional<std::vector<std::string>> names, bool contrast = false,
                                bool volume = false, bool inputSelect = false);
};

class Session {
public:
    // Throws UsageError for a scenario that cannot be used; std::runtime_error for the rest.
    explicit Session(const GlobalOptions& options, const DisplayScope& scope = {});
    ~Session();

    AppServices& services() { return *services_; }
    DisplayController& controller() { return services_->controller(); }
    BrivioPreferences& preferences() { return services_->preferences(); }
    MainLoop& loop();
    // The simulated desk; null on this desktop.
    SimDesk* desk() { return desk_.get(); }

    // The device of the display's DDC/CI bus on this desktop and, when it cannot be opened, what to do
    // about it; absent on the simulated desk and for a display without a bus.
    struct Bus {
        std::string device;
        std::string openProblem;
    };
    std::optional<Bus> busOf(const ManagedDisplay& display);

    // Runs until every probe, animation and write loop has ended (recurring polls excepted).
    void settle();
    // Runs time on (virtual on the simulator, real on this desktop) so that schedules can fire.
    void advance(long long milliseconds);
    // Writes pending settings and restores what the run dimmed in software.
    void close();
    // Ends a run that failed: restores what it dimmed in software but writes no settings.
    void abandon();

private:
    void openSimulatedDesk(const GlobalOptions& options, const std::string& directory);
    void openThisDesktop(const GlobalOptions& options);
    void runUntilFirstEnumeration();
    bool runUntilSettled();
    void saveSimulatedState();

    std::unique_ptr<VirtualLoop> virtualLoop_;
    std::unique_ptr<RealLoop> realLoop_;
    std::unique_ptr<SimDesk> desk_;
    std::unique_ptr<Platform> simPlatform_;
    std::unique_ptr<LinuxPlatform> linux_;
    std::unique_ptr<FileKeyValueStore> store_;
    std::unique_ptr<AppServices> services_;
    std::string deviceStatePath_;
    bool closed_ = false;
    bool interrupted_ = false;
};

} // namespace brivio::cli
