// From a call on the session bus to the first DDC write it causes, and what a client pays to connect,
// find the agent and ask a level: the agent's bus service on a
// simulated desk (real time), and a client in another thread that sets display 2's brightness and
// waits for the Set VCP request to reach the monitor. Prints the median and spread over RUNS calls.
// Usage: bus_latency SCENARIO [RUNS], on the session bus (scripts/bus-bench starts a private one).

#include "app/AppServices.h"
#include "app/bus/AgentBusService.h"
#include "app/bus/AgentClient.h"
#include "base/Log.h"
#include "base/RealLoop.h"
#include "platform/sim/SimDesk.h"
#include "settings/MemoryKeyValueStore.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace brivio;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* benchName = "dev.brivio.Brivio.Bench";

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[std::size_t(q * double(samples.size() - 1) + 0.5)]; };
    std::printf("%-34s median %.2f ms   min %.2f   p90 %.2f   max %.2f   (%zu runs)\n", what, at(0.5),
                samples.front(), at(0.9), samples.back(), samples.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bus_latency SCENARIO [RUNS]\n");
        return 2;
    }
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    Log::setLevel(LogLevel::error);

    RealLoop loop;
    auto desk = SimDesk::fromFile(loop, argv[1]);
    Platform platform = desk->platform();
    // Notes the instant of every brightness Set VCP request (84 03 10 ...) on its way to a monitor.
    std::atomic<Clock::rep> lastWrite{0};
    auto write = platform.avService.writeI2C;
    platform.avService.writeI2C = [&, write](const AVServiceHandle& handle, std::uint32_t chip,
                                             std::uint32_t address, const std::uint8_t* bytes,
                                             std::uint32_t length) {
        if (length >= 3 && bytes[0] == 0x84 && bytes[1] == 0x03 && bytes[2] == 0x10)
            lastWrite = Clock::now().time_since_epoch().count();
        return write(handle, chip, address, bytes, length);
    };
    MemoryKeyValueStore store;
    AppServices services(platform, store);
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (services.controller().enumerationCount() == 0 && Clock::now() < deadline)
        loop.runUntilSettled(std::chrono::milliseconds(50));
    loop.runUntilSettled(std::chrono::seconds(10));
    if (services.controller().displays().size() < 2) {
        std::fprintf(stderr, "bus_latency: the scenario needs two displays\n");
        return 1;
    }
    std::string key = services.controller().displays()[1].identity.stableKey();

    std::string error;
    auto connection = bus::BusConnection::open(std::nullopt, error);
    if (!connection || connection->claim(benchName, error) != bus::BusConnection::Claim::owned) {
        std::fprintf(stderr, "bus_latency: no session bus to serve on (%s)\n", error.c_str());
        return 1;
    }
    bus::AgentBusService service(*connection, services, loop, loop, {});

    std::vector<double> toWrite, toReply, lookup;
    std::thread client([&] {
        // What brivioctl does on the bus for a get: connect, ask who owns the name, call.
        for (int i = 0; i < runs; ++i) {
            std::string whyNot;
            auto start = Clock::now();
            auto agent = bus::AgentClient::find(benchName, std::nullopt, whyNot);
            if (agent)
                agent->get<double>(bus::displaysInterface, "GetLevel", key, std::string("brightness"));
            lookup.push_back(ms(Clock::now() - start));
        }
        std::string whyNot;
        auto agent = bus::AgentClient::find(benchName, std::nullopt, whyNot);
        for (int i = 0; agent && i < runs; ++i) {
            // The monitor idle: a walk still under way takes a new target at its next paced step (a write
            // at most every 40 ms), which is not what is measured here.
            while (Clock::now().time_since_epoch().count() - lastWrite.load() <
                   std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(150)).count())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Clock::rep before = lastWrite;
            auto start = Clock::now();
            agent->call(bus::displaysInterface, "SetLevel", key, std::string("brightness"), i % 2 ? 0.6 : 0.4,
                        false);
            toReply.push_back(ms(Clock::now() - start));
            while (lastWrite == before && Clock::now() - start < std::chrono::seconds(2))
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            toWrite.push_back(ms(Clock::duration(lastWrite.load()) - start.time_since_epoch()));
        }
        loop.postFromAnyThread([&] { loop.quit(); });
    });
    loop.run();
    client.join();
    if (toWrite.empty()) {
        std::fprintf(stderr, "bus_latency: could not reach the service\n");
        return 1;
    }
    report("connect, find the agent, GetLevel", lookup);
    report("SetLevel call to its reply", toReply);
    report("SetLevel call to first DDC write", toWrite);
    std::printf("(with the monitor idle; during a walk the new level goes out at the next paced step, "
                "within 40 ms)\n");
    services.shutdown();
    return 0;
}
