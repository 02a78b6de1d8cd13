#pragma once
// The desk the page tests run on: the example laptop with a DDC monitor and a monitor without DDC/CI,
// on the simulator and virtual time, with the app's long-lived objects on top.

#include "app/AppServices.h"
#include "base/VirtualLoop.h"
#include "platform/sim/SimDesk.h"
#include "settings/MemoryKeyValueStore.h"

#include <QCoreApplication>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

namespace brivio {

inline std::string exampleScenario(const char* name) {
    std::ifstream in(std::string(BRIVIO_SOURCE_DIR) + "/examples/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct PanelDesk {
    // `scenario` is a scenario's JSON text; by default examples/desk.json. Unless `settled` is false,
    // the first enumeration has run when it returns.
    explicit PanelDesk(const std::string& scenario = exampleScenario("desk.json"), bool settled = true)
        : sim(std::make_unique<SimDesk>(loop, Scenario::parse(scenario, "desk.json"))),
          platform(sim->platform()), services(std::make_unique<AppServices>(platform, store)) {
        if (settled)
            settle();
    }
    ~PanelDesk() { services->shutdown(); }

    // Runs the controller's work to rest, then the views' queued redraws.
    void settle() {
        loop.runUntilSettled(std::chrono::minutes(5));
        QCoreApplication::processEvents();
    }
    DisplayController& controller() { return services->controller(); }
    BrivioPreferences& preferences() { return services->preferences(); }

    VirtualLoop loop;
    std::unique_ptr<SimDesk> sim;
    Platform platform;
    MemoryKeyValueStore store;
    std::unique_ptr<AppServices> services;
};

} // namespace brivio
