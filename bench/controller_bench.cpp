// The controller's two heavy moments on the simulated desk: enumeration plus settle of eight displays,
// and one second of a brightness drag on four (a slider update every 16 ms frame, as the panel sends
// them). Run as a Google Benchmark, or with `--once enumerate8|drag4|none` for one pass that
// scripts/bench counts under callgrind.

#include "base/Log.h"
#include "base/VirtualLoop.h"
#include "core/DisplayController.h"
#include "platform/sim/SimDesk.h"
#include "settings/MemoryKeyValueStore.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace brivio;

std::string sourceDir() {
    const char* dir = std::getenv("BRIVIO_SOURCE_DIR");
    return dir ? dir : BRIVIO_SOURCE_DIR;
}

struct Desk {
    VirtualLoop loop;
    std::unique_ptr<SimDesk> sim;
    std::unique_ptr<Platform> platform;
    MemoryKeyValueStore store;
    std::unique_ptr<BrivioPreferences> prefs;
    std::unique_ptr<DisplayController> controller;

    explicit Desk(std::size_t displays) {
        auto scenario = Scenario::load(sourceDir() + "/examples/desk8.json");
        scenario.displays.resize(std::min(displays, scenario.displays.size()));
        sim = std::make_unique<SimDesk>(loop, std::move(scenario));
        platform = std::make_unique<Platform>(sim->platform());
        prefs = std::make_unique<BrivioPreferences>(store);
    }
    void enumerate() {
        controller = std::make_unique<DisplayController>(*platform, *prefs);
        loop.runUntilSettled(std::chrono::minutes(5));
    }
    void drag() {
        auto displays = controller->displays();
        for (int frame = 0; frame <= 62; ++frame) {
            double value = 1.0 - 0.6 * frame / 62.0;
            for (auto& d : displays)
                controller->setUserBrightness(value, d.identity.cgID, false, 0s);
            loop.advance(16ms);
        }
        loop.runUntilSettled(std::chrono::minutes(5));
    }
};

void enumerateEight(benchmark::State& state) {
    for (auto _ : state) {
        Desk desk(8);
        desk.enumerate();
        benchmark::DoNotOptimize(desk.controller->displays().size());
    }
}
BENCHMARK(enumerateEight)->Unit(benchmark::kMicrosecond);

void dragFour(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Desk desk(4);
        desk.enumerate();
        state.ResumeTiming();
        desk.drag();
    }
}
BENCHMARK(dragFour)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    Log::setLevel(LogLevel::error);
    if (argc == 3 && std::strcmp(argv[1], "--once") == 0) {
        std::string which = argv[2];
        if (which == "none")
            return 0;
        Desk desk(which == "enumerate8" ? 8 : 4);
        desk.enumerate();
        if (which == "drag4")
            desk.drag();
        else if (which != "enumerate8" && which != "enumerate4")
            return std::fprintf(stderr, "unknown case %s\n", which.c_str()), 2;
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
