#include "Session.h"

#include "Arguments.h"
#include "base/RealLoop.h"
#include "base/VirtualLoop.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/sim/DeviceStateFile.h"
#include "platform/sim/SimDesk.h"

#include <filesystem>
#include <fmt/format.h>
#include <iostream>
#include <set>

namespace brivio::cli {

namespace {

// Far more than any probe, animation or write loop takes; a desk that has not settled by then has
// a task that never ends, and the command must not hang on it.
constexpr Duration settleLimit = std::chrono::hours(1);
// On this desktop the waits are real: the longest is a DDC retry ladder, well under a minute.
constexpr Duration realSettleLimit = std::chrono::minutes(1);

} // namespace

DisplayScope DisplayScope::reading(std::optional<std::vector<std::string>> names, bool contrast, bool volume,
                                   bool inputSelect) {
    DisplayScope scope;
    scope.names = std::move(names);
    scope.probe = DDCProbeOptions{false, contrast, volume, inputSelect};
    return scope;
}

namespace {

// The displays the words name among those found; words that name none are left for the command to
// report. A sync leader takes every follower along: they change with it.
std::set<std::string> namedKeys(const std::vector<std::string>& words, const std::vector<ManagedDisplay>& all,
                                const std::optional<std::string>& syncLeader) {
    std::set<std::string> keys;
    for (const auto& word : words) {
        try {
            for (const auto& d : selectDisplays(word, all))
                keys.insert(d.identity.stableKey());
        } catch (const UsageError&) {
        }
    }
    if (syncLeader && keys.count(*syncLeader))
        for (const auto& d : all)
            keys.insert(d.identity.stableKey());
    return keys;
}

} // namespace

Session::Session(const GlobalOptions& options, const DisplayScope& scope) {
    auto directory = options.configDir.value_or(FileKeyValueStore::defaultDirectory());
    if (options.simFile)
        openSimulatedDesk(options, directory);
    else
        openThisDesktop(options);
    store_ = std::make_unique<FileKeyValueStore>(loop(), directory);
    store_->setWritesHeld(true);
    Platform& platform = desk_ ? *simPlatform_ : linux_->platform();
    services_ = std::make_unique<AppServices>(platform, *store_);
    // Before the first enumeration runs (it starts on the loop's next turn).
    controller().ddcDriver().setProbeOptions(scope.probe);
    if (scope.names) {
        auto& prefs = preferences();
        controller().limitProbes([words = *scope.names, &prefs](const std::vector<ManagedDisplay>& all) {
            return namedKeys(words, all, prefs.syncLeaderKey());
        });
    }
    services_->startShortcuts();
    runUntilFirstEnumeration();
}

void Session::openSimulatedDesk(const GlobalOptions& options, const std::string& directory) {
    virtualLoop_ = std::make_unique<VirtualLoop>();
    try {
        desk_ = SimDesk::fromFile(*virtualLoop_, *options.simFile);
    } catch (const ScenarioError& e) {
        throw UsageError(e.what());
    }
    simPlatform_ = std::make_unique<Platform>(desk_->platform());

    // The simulated monitors and gamma tables keep their state from one run to the next, like real ones.
    std::string problem;
    deviceStatePath_ = openDeskState(*desk_, directory, *options.simFile, problem);
    if (!problem.empty())
        std::cerr << "brivioctl: " << problem << "\n";
    // The trace shows this run's traffic, not the state brought back from the last one.
    if (options.traceFile)
        desk_->setTraceFile(*options.traceFile);
}

void Session::openThisDesktop(const GlobalOptions& options) {
    if (options.traceFile)
        throw UsageError("--trace records the simulated desk's traffic; use it with --sim FILE");
    realLoop_ = std::make_unique<RealLoop>();
    if (!realLoop_->valid())
        throw std::runtime_error("could not set up the event loop");
    // Ctrl-C or a kill ends the run the orderly way, so that nothing stays dimmed.
    realLoop_->onTerminationSignal([this] {
        interrupted_ = true;
        realLoop_->quit();
    });
    LinuxPlatformOptions linuxOptions;
    if (options.sysfsRoot)
        linuxOptions.sysfsRoot = *options.sysfsRoot;
    linux_ = std::make_unique<LinuxPlatform>(*realLoop_, realLoop_.get(), linuxOptions);
}

std::optional<Session::Bus> Session::busOf(const ManagedDisplay& display) {
    if (!linux_)
        return std::nullopt;
    const LinuxDisplay* d = linux_->displays().find(display.identity.cgID);
    if (!d)
        return std::nullopt;
    DisplayBuses& buses = linux_->buses();
    auto tied = buses.busFor(d->connector, linux_->displays().connectors());
    if (!tied)
        return std::nullopt;
    Bus bus{buses.devicePath(tied->bus), {}};
    if (int error = buses.accessError(tied->bus))
        bus.openProblem = i2cAccessAdvice(error);
    return bus;
}

Session::~Session() {
    if (!closed_)
        abandon();
}

MainLoop& Session::loop() {
    if (virtualLoop_)
        return *virtualLoop_;
    return *realLoop_;
}

bool Session::runUntilSettled() {
    if (virtualLoop_)
        return virtualLoop_->runUntilSettled(settleLimit);
    return realLoop_->runUntilSettled(realSettleLimit) && !interrupted_;
}

void Session::runUntilFirstEnumeration() {
    if (!virtualLoop_) {
        settle();
        return;
    }
    auto deadline = virtualLoop_->now() + settleLimit;
    while (controller().enumerationCount() == 0 && virtualLoop_->now() < deadline) {
        virtualLoop_->runUntilIdle();
        if (controller().enumerationCount() > 0 || virtualLoop_->pendingCount() == 0)
            break;
        virtualLoop_->advance(virtualLoop_->nextDue() - virtualLoop_->now());
    }
}

void Session::settle() {
    if (runUntilSettled())
        return;
    if (interrupted_)
        throw std::runtime_error("interrupted");
    throw std::runtime_error(virtualLoop_ ? "the simulated desk did not settle within an hour of virtual time"
                                          : "the displays did not answer within a minute");
}

void Session::advance(long long milliseconds) {
    settle();
    if (virtualLoop_) {
        virtualLoop_->advance(std::chrono::milliseconds(milliseconds));
    } else {
        // A work timer holds the loop open for the span, so that schedules and polls run meanwhile.
        realLoop_->postAfter(std::chrono::milliseconds(milliseconds), [] {});
        if (!realLoop_->runUntilSettled(std::chrono::milliseconds(milliseconds) + realSettleLimit) ||
            interrupted_)
            throw std::runtime_error("interrupted");
    }
    settle();
}

void Session::abandon() {
    if (closed_)
        return;
    closed_ = true;
    store_->discardPending();
    services_->shutdown();
    interrupted_ = false;
    runUntilSettled();
    store_->discardPending();
    // The monitors keep whatever reached them, error or not.
    try {
        saveSimulatedState();
    } catch (const std::exception& e) {
        std::cerr << "brivioctl: " << e.what() << "\n";
    }
}

void Session::close() {
    if (closed_)
        return;
    settle();
    closed_ = true;
    services_->shutdown();
    runUntilSettled();
    if (!store_->flush())
        throw std::runtime_error(fmt::format("could not write the settings to {}", store_->path()));
    saveSimulatedState();
}

void Session::saveSimulatedState() {
    if (desk_)
        saveDeviceState(*desk_, deviceStatePath_);
}

} // namespace brivio::cli
