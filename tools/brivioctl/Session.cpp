#include "Session.h"

#include "Arguments.h"
#include "base/VirtualLoop.h"
#include "platform/sim/DeviceStateFile.h"
#include "platform/sim/SimDesk.h"

#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <iostream>

namespace brivio::cli {

namespace {

// Far more than any probe, animation or write loop takes; a desk that has not settled by then has
// a task that never ends, and the command must not hang on it.
constexpr Duration settleLimit = std::chrono::hours(1);

} // namespace

Session::Session(const GlobalOptions& options) {
    if (!options.simFile)
        throw UsageError("the desktop backend is not available yet; run on a simulated desk with --sim FILE "
                         "(see examples/)");
    virtualLoop_ = std::make_unique<VirtualLoop>();
    try {
        desk_ = SimDesk::fromFile(*virtualLoop_, *options.simFile);
    } catch (const ScenarioError& e) {
        throw UsageError(e.what());
    }
    if (options.traceFile)
        desk_->setTraceFile(*options.traceFile);
    platform_ = std::make_unique<Platform>(desk_->platform());

    auto directory = options.configDir.value_or(FileKeyValueStore::defaultDirectory());
    // The simulated monitors keep their values from one run to the next, like real ones.
    // One desk's state per scenario, so two scenarios sharing a settings folder do not mix.
    std::string statePrefix = directory + "/sim-" + std::filesystem::path(*options.simFile).stem().string();
    deviceStatePath_ = statePrefix + ".json";
    if (auto problem = loadDeviceState(*desk_, deviceStatePath_); !problem.empty())
        std::cerr << "brivioctl: " << problem << "\n";
    // The desk's gamma tables outlive a run, as on a real desktop: a run killed while dimmed leaves
    // them dimmed until the next start puts the calibration back.
    desk_->persistGammaState(statePrefix + "-gamma.json");
    store_ = std::make_unique<FileKeyValueStore>(loop(), directory);
    store_->setWritesHeld(true);
    preferences_ = std::make_unique<BrivioPreferences>(*store_);
    controller_ = std::make_unique<DisplayController>(*platform_, *preferences_);
    runUntilFirstEnumeration();
}

Session::~Session() {
    if (!closed_)
        abandon();
}

void Session::abandon() {
    if (closed_)
        return;
    closed_ = true;
    store_->discardPending();
    controller_->shutdown();
    virtualLoop_->runUntilSettled(settleLimit);
    store_->discardPending();
    // The monitors keep whatever reached them, error or not.
    try {
        saveDeviceState(*desk_, deviceStatePath_);
    } catch (const std::exception& e) {
        std::cerr << "brivioctl: " << e.what() << "\n";
    }
}

MainLoop& Session::loop() {
    return *virtualLoop_;
}

void Session::runUntilFirstEnumeration() {
    auto deadline = virtualLoop_->now() + settleLimit;
    while (controller_->enumerationCount() == 0 && virtualLoop_->now() < deadline) {
        virtualLoop_->runUntilIdle();
        if (controller_->enumerationCount() > 0 || virtualLoop_->pendingCount() == 0)
            break;
        virtualLoop_->advance(virtualLoop_->nextDue() - virtualLoop_->now());
    }
}

void Session::settle() {
    if (!virtualLoop_->runUntilSettled(settleLimit))
        throw std::runtime_error("the simulated desk did not settle within an hour of virtual time");
}

void Session::advance(long long milliseconds) {
    settle();
    virtualLoop_->advance(std::chrono::milliseconds(milliseconds));
    settle();
}

void Session::close() {
    if (closed_)
        return;
    closed_ = true;
    settle();
    controller_->shutdown();
    virtualLoop_->runUntilSettled(settleLimit);
    if (!store_->flush())
        throw std::runtime_error(fmt::format("could not write the settings to {}", store_->path()));
    saveDeviceState(*desk_, deviceStatePath_);
}

} // namespace brivio::cli
