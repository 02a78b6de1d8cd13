#pragma once
// The long-lived objects of one Brivio process, built on a platform and a settings store: the
// preferences, the location manager, the display controller (which starts the schedule engine
// itself) and the shortcut engine. The command line and the desktop app assemble the same set.

#include "core/DisplayController.h"
#include "platform/Platform.h"
#include "schedule/LocationManager.h"
#include "settings/BrivioPreferences.h"
#include "settings/KeyValueStore.h"
#include "shortcuts/BrivioShortcutEngine.h"

#include <memory>

namespace brivio {

class AppServices {
public:
    // Constructing the controller starts the first enumeration. Platform and store must outlive this.
    AppServices(Platform& platform, KeyValueStore& store);
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    BrivioPreferences& preferences() { return preferences_; }
    LocationManager& location() { return location_; }
    DisplayController& controller() { return *controller_; }
    // Absent when the platform offers no global hot keys.
    BrivioShortcutEngine* shortcuts() { return shortcuts_.get(); }

    // Registers the stored brightness shortcuts (a launch step).
    void startShortcuts();
    // Puts the displays back (overlays closed, gamma restored) and stops every task. Idempotent.
    void shutdown();

private:
    BrivioPreferences preferences_;
    LocationManager location_;
    std::unique_ptr<DisplayController> controller_;
    std::unique_ptr<BrivioShortcutEngine> shortcuts_;
    bool shutDown_ = false;
};

} // namespace brivio
