// A brightness slider dragged for 160 s: one setBrightness per 16 ms frame on the file-backed store.
// Reports the file writes (at most one per 500 ms of virtual time) and the cost of one call.

#include "base/VirtualLoop.h"
#include "settings/BrivioPreferences.h"
#include "settings/FileKeyValueStore.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace brivio;

constexpr int callsPerDrag = 10'000;
constexpr Duration frame = 16ms;

// Notes the virtual instant of every completed file replacement.
struct TimedFiles : SettingsFiles {
    explicit TimedFiles(const MainLoop& loop) : loop(loop) {}
    bool rename(const std::string& from, const std::string& to, std::string& error) override {
        bool ok = SettingsFiles::rename(from, to, error);
        if (ok && to.ends_with("settings.json")) {
            if (last)
                minGap = std::min(minGap, loop.now() - *last);
            last = loop.now();
        }
        return ok;
    }
    const MainLoop& loop;
    std::optional<TimePoint> last;
    Duration minGap = Duration::max();
};

std::string makeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brivio-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

void BM_SliderDragOnFileStore(benchmark::State& state) {
    std::string dir = makeTempDir();
    if (dir.empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::size_t writes = 0;
    std::size_t dragWrites = 0;
    double virtualSeconds = 0;
    Duration minGap = Duration::max();
    for (auto _ : state) {
        VirtualLoop loop;
        auto files = std::make_shared<TimedFiles>(loop);
        FileKeyValueStore store(loop, dir, files);
        BrivioPreferences prefs(store);
        auto start = loop.now();
        for (int i = 0; i < callsPerDrag; ++i) {
            prefs.setBrightness("DISPLAY-A-1234", (i % 1000) / 1000.0);
            loop.advance(frame);
        }
        dragWrites = store.writeCount();
        minGap = files->minGap;
        store.flush();
        writes = store.writeCount();
        virtualSeconds = std::chrono::duration<double>(loop.now() - start).count();
    }
    std::filesystem::remove_all(dir);

    double slots = virtualSeconds / std::chrono::duration<double>(FileKeyValueStore::writeInterval).count();
    // A write at each end of the span is allowed (fence posts); the final flush may follow the last one
    // at once, so only the drag's writes count.
    if (dragWrites > slots + 1 || minGap < FileKeyValueStore::writeInterval)
        state.SkipWithError("more than one file write per 500 ms");
    state.counters["file_writes"] = static_cast<double>(writes); // with the final flush
    state.counters["writes_per_500ms"] =
        static_cast<double>(dragWrites - 1) / slots; // intervals between writes
    state.counters["min_gap_ms"] = static_cast<double>(toMillis(minGap));
    state.counters["time_per_call"] =
        benchmark::Counter(static_cast<double>(callsPerDrag),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_SliderDragOnFileStore)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
