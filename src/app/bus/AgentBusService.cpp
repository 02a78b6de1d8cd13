#include "app/bus/AgentBusService.h"

#include "app/StatusJson.h"
#include "app/bus/BusArguments.h"

#include <charconv>
#include <fmt/format.h>
#include <sdbus-c++/sdbus-c++.h>

namespace brivio::bus {

namespace {

std::optional<std::size_t> position(const std::string& word) {
    std::size_t n = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return n;
}

} // namespace

AgentBusService::AgentBusService(BusConnection& bus, AppServices& services, MainLoop& loop,
                                 FdWatcher& watcher, Options options)
    : bus_(bus), services_(services), loop_(loop), options_(std::move(options)),
      modeManager_(services.controller().platform().windowServer, services.controller().platform().registry,
                   services.controller().platform().rotation) {
    object_ = sdbus::createObject(bus_.connection(), objectPath);
    registerAgent();
    registerDisplays();
    registerModes();
    registerAutomation();
    object_->finishRegistration();

    last_ = snapshot();
    auto& controller = services_.controller();
    subscriptions_.push_back(services_.preferences().willChange.subscribe([this] { noteChange(); }));
    subscriptions_.push_back(controller.displaysChanged().subscribe([this] { noteChange(); }));
    subscriptions_.push_back(controller.warmingUpKeysChanged().subscribe([this] { noteChange(); }));
    subscriptions_.push_back(controller.location().changed().subscribe([this] { noteChange(); }));
    if (controller.enumerationCount() > 0)
        bus_.attach(watcher);
    else
        firstDisplays_ = controller.displaysChanged().subscribe([this, &watcher] { bus_.attach(watcher); });
}

AgentBusService::~AgentBusService() {
    for (auto& timer : {flushTimer_, sendTimer_})
        if (timer)
            loop_.cancel(*timer);
    subscriptions_.clear();
    firstDisplays_.reset();
    modeSessions_.clear();
}

void AgentBusService::registerAgent() {
    object_->registerMethod("ShowPanel").onInterface(agentInterface).implementedAs([this] {
        guarded([&] {
            if (!options_.showPanel)
                refuse(errors::unsupported, "this agent has no panel");
            options_.showPanel();
        });
    });
}

const ManagedDisplay& AgentBusService::displayNamed(const std::string& word) {
    const auto& displays = services_.controller().displays();
    for (const auto& d : displays)
        if (d.identity.stableKey() == word)
            return d;
    if (auto n = position(word); n && *n >= 1 && *n <= displays.size())
        return displays[*n - 1];
    if (word == "all")
        refuse(errors::invalidArgument, "'all' cannot be used here: name one display");
    refuse(errors::unknownDisplay,
           fmt::format("'{}' is not a display: give a stable key or a number from GetDisplays ({} connected)",
                       word, displays.size()));
}

std::vector<ManagedDisplay> AgentBusService::displaysNamed(const std::string& word) {
    if (word == "all") {
        if (services_.controller().displays().empty())
            refuse(errors::unknownDisplay, "no display is connected");
        return services_.controller().displays();
    }
    return {displayNamed(word)};
}

// MARK: - Change signals

AgentBusService::Snapshot AgentBusService::snapshot() {
    Snapshot s;
    auto& prefs = services_.preferences();
    for (auto [control, map] :
         {std::pair{"brightness", &prefs.brightnessByDisplay()},
          std::pair{"contrast", &prefs.contrastByDisplay()}, std::pair{"volume", &prefs.volumeByDisplay()}})
        for (const auto& [key, value] : *map)
            s.levels[{key, control}] = value;
    // The list without its levels: those have a signal of their own.
    s.displays = status::displays(services_.controller());
    for (auto& d : s.displays)
        for (const char* level : {"brightness", "contrast", "volume"})
            d.erase(level);
    s.presets = status::presets(prefs);
    s.schedules = status::schedules(prefs);
    s.solar = status::solar(prefs, services_.controller().platform().clock.now());
    s.location = status::location(services_.location().coordinate());
    s.syncLeader = prefs.syncLeaderKey().value_or("");
    return s;
}

void AgentBusService::noteChange() {
    if (flushTimer_)
        return;
    // Observers hear of a change before it is made: look on the next turn, and at most once per
    // spacing so that an animation does not flood the bus.
    Duration delay = Duration::zero();
    if (lastFlush_)
        delay = std::max(Duration::zero(), *lastFlush_ + signalSpacing - loop_.now());
    flushTimer_ = loop_.postAfter(delay, [this] {
        flushTimer_.reset();
        lastFlush_ = loop_.now();
        emitChanges();
    });
}

void AgentBusService::emitChanges() {
    Snapshot now = snapshot();
    for (const auto& [entry, value] : now.levels) {
        auto it = last_.levels.find(entry);
        if (it == last_.levels.end() || it->second != value)
            object_->emitSignal("LevelChanged")
                .onInterface(displaysInterface)
                .withArguments(entry.first, entry.second, value);
    }
    if (now.displays != last_.displays)
        object_->emitSignal("DisplaysChanged").onInterface(displaysInterface);
    if (now.syncLeader != last_.syncLeader)
        object_->emitSignal("SyncLeaderChanged")
            .onInterface(displaysInterface)
            .withArguments(now.syncLeader.get<std::string>());
    if (now.presets != last_.presets)
        object_->emitSignal("PresetsChanged").onInterface(automationInterface);
    if (now.schedules != last_.schedules)
        object_->emitSignal("SchedulesChanged").onInterface(automationInterface);
    if (now.solar != last_.solar || now.location != last_.location)
        object_->emitSignal("SolarChanged").onInterface(automationInterface);
    last_ = std::move(now);
    sendSoon();
}

void AgentBusService::sendSoon() {
    // Before the bus is served, calls wait unanswered; sending then would answer them too.
    if (sendTimer_ || !bus_.attached())
        return;
    sendTimer_ = loop_.post([this] {
        sendTimer_.reset();
        bus_.processPending();
    });
}

} // namespace brivio::bus
