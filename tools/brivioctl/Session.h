#pragma once
// One run of the command line: the backend (simulator or this desktop), the settings store, the
// preferences and the controller, brought up to the end of the first enumeration.

#include "core/DisplayController.h"
#include "settings/BrivioPreferences.h"
#include "settings/FileKeyValueStore.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace brivio {
class VirtualLoop;
class SimDesk;
} // namespace brivio

namespace brivio::cli {

struct GlobalOptions {
    std::optional<std::string> simFile;
    std::optional<std::string> configDir;
    std::optional<std::string> traceFile;
    // --advance: how long time runs on after the command, so that schedules can fire.
    long long advanceMs = 0;
};

class Session {
public:
    // Throws UsageError for a scenario that cannot be used; std::runtime_error for the rest.
    explicit Session(const GlobalOptions& options);
    ~Session();

    DisplayController& controller() { return *controller_; }
    BrivioPreferences& preferences() { return *preferences_; }
    MainLoop& loop();
    SimDesk* desk() { return desk_.get(); }

    // Runs until every probe, animation and write loop has ended (recurring polls excepted).
    void settle();
    // Runs time on (virtual on the simulator) so that schedules can fire.
    void advance(long long milliseconds);
    // Writes pending settings and restores what the run dimmed in software.
    void close();
    // Ends a run that failed: restores what it dimmed in software but writes no settings.
    void abandon();

private:
    void runUntilFirstEnumeration();

    std::unique_ptr<VirtualLoop> virtualLoop_;
    std::unique_ptr<SimDesk> desk_;
    std::unique_ptr<Platform> platform_;
    std::unique_ptr<std::ofstream> trace_;
    std::unique_ptr<FileKeyValueStore> store_;
    std::unique_ptr<BrivioPreferences> preferences_;
    std::unique_ptr<DisplayController> controller_;
    bool closed_ = false;
};

} // namespace brivio::cli
