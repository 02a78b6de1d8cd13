#include "Commands.h"

#include "AgentCalls.h"
#include "Arguments.h"
#include "CommandSet.h"
#include "app/StatusJson.h"

#include <fmt/format.h>
#include <iostream>

namespace brivio::cli {

namespace {

using nlohmann::json;

// Said after a display the desktop cannot dim in software, where its slider would change nothing.
std::string dimmingNote(const std::optional<std::string>& unavailable) {
    return unavailable ? "; software dimming unavailable: " + *unavailable : std::string();
}

// The listing of the agent's displays and of a standalone run alike. A standalone run adds which levels
// it read now ("fresh") and why a monitor did not answer ("ddcProblem").
void printDisplays(const json& list, bool asJson) {
    if (asJson) {
        printJson(list);
        return;
    }
    if (list.empty()) {
        std::cout << "No displays found.\n";
        return;
    }
    for (const auto& d : list) {
        const auto& capabilities = d["capabilities"];
        std::string brightness = "-";
        if (d["brightness"].is_number()) {
            bool fresh = d.value("fresh", json::object()).value("brightness", true);
            brightness =
                fmt::format("{:.0f}%{}", d["brightness"].get<double>() * 100, fresh ? "" : " (remembered)");
        }
        std::string reason;
        if (auto it = capabilities.find("hardwareBrightnessFallbackReason"); it != capabilities.end()) {
            std::string problem =
                d.value("ddcProblem", json()).is_string() ? d["ddcProblem"].get<std::string>() : "";
            reason = fmt::format(" ({}{})", it->get<std::string>(),
                                 problem == "noAnswer"    ? ": no answer over DDC/CI"
                                 : problem == "noChannel" ? ": DDC/CI channel not opened"
                                                          : "");
        }
        std::optional<std::string> unavailable;
        if (auto it = capabilities.find("softwareDimmingUnavailable"); it != capabilities.end())
            unavailable = it->get<std::string>();
        std::cout << fmt::format("{}  {:<22} {:<24} {:<8} brightness {}{}{}\n", d["index"].get<std::size_t>(),
                                 d["stableKey"].get<std::string>(), d["name"].get<std::string>(),
                                 d["driver"].get<std::string>(), brightness, reason,
                                 dimmingNote(unavailable));
    }
}

// `get all` through the agent: one line per display that has the control and a known level.
int printAllLevels(const json& list, const std::string& control, bool asJson) {
    auto levels = json::array();
    for (const auto& d : list)
        if (d.contains(control) && d[control].is_number())
            levels.push_back({{"display", d["stableKey"]}, {"control", control}, {"level", d[control]}});
    if (asJson) {
        printJson(levels);
        return 0;
    }
    std::size_t index = 0;
    for (const auto& d : list) {
        ++index;
        if (d.contains(control) && d[control].is_number())
            std::cout << fmt::format("{}  {:<22} {}\n", index, d["stableKey"].get<std::string>(),
                                     formatLevel(d[control].get<double>()));
    }
    return 0;
}

std::optional<double> lookup(const std::map<std::string, double>& map, const std::string& key) {
    auto it = map.find(key);
    if (it == map.end())
        return std::nullopt;
    return it->second;
}

void printLevel(const std::string& display, const std::string& control, double level, bool asJson) {
    if (asJson)
        printJson({{"display", display}, {"control", control}, {"level", level}});
    else
        std::cout << formatLevel(level) << "\n";
}

// A level as the command line knows it: read from the display in this run, or remembered.
struct Level {
    std::optional<double> value;
    bool fresh = false;
};

// What this run read from the display; else the level remembered for it (or, with `dimmedLevel`, the
// level software dimming holds it at).
Level levelOf(Session& session, const ManagedDisplay& d, DisplayControl control, bool dimmedLevel) {
    auto& controller = session.controller();
    auto& ddc = controller.ddcDriver();
    auto& prefs = session.preferences();
    const auto key = d.identity.stableKey();
    if (control == DisplayControl::brightness) {
        if (d.isBuiltIn && d.capabilities.supportsHardwareBrightness && controller.nativeDriver().canRead())
            return {controller.nativeDriver().readBrightness(d.identity.cgID), true};
        if (auto read = ddc.probedBrightness(key); read && d.capabilities.supportsHardwareBrightness)
            return {read, true};
        if (auto stored = lookup(prefs.brightnessByDisplay(), key))
            return {stored, false};
        if (dimmedLevel && !d.capabilities.supportsHardwareBrightness)
            return {controller.overlayDriver().brightness(key), false};
        return {};
    }
    const bool contrast = control == DisplayControl::contrast;
    if (status::supports(d, control))
        if (auto read = lookup(contrast ? ddc.ddcContrastCurrentCache() : ddc.ddcVolumeCurrentCache(), key))
            return {read, true};
    return {lookup(contrast ? prefs.contrastByDisplay() : prefs.volumeByDisplay(), key), false};
}

std::string_view problemName(DDCChannelProblem problem) {
    switch (problem) {
    case DDCChannelProblem::noAnswer:
        return "noAnswer";
    case DDCChannelProblem::noChannel:
        return "noChannel";
    case DDCChannelProblem::none:
        break;
    }
    return {};
}

nlohmann::json orNull(const std::optional<double>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

} // namespace

std::string ddcFailure(Session& session, const ManagedDisplay& d) {
    if (d.isBuiltIn || d.capabilities.supportsHardwareBrightness)
        return {};
    // Where software dimming serves the display (a window or gamma here), it is a display without
    // DDC/CI like any other; only where nothing else can, the failure is the answer.
    auto& controller = session.controller();
    const auto key = d.identity.stableKey();
    if (controller.overlayDriver().canDim(key) || controller.gammaDriver().hasState(key))
        return {};
    auto bus = session.busOf(d);
    switch (session.controller().ddcDriver().channelProblem(d.identity.stableKey())) {
    case DDCChannelProblem::noAnswer:
        return fmt::format("DDC communication failed: the monitor did not answer{} (DDC/CI switched off in "
                           "its menu, or an adapter that does not pass it)",
                           bus ? " on " + bus->device : "");
    case DDCChannelProblem::noChannel:
        if (bus && !bus->openProblem.empty())
            return fmt::format("DDC communication failed: {} cannot be opened: {}", bus->device,
                               bus->openProblem);
        return "DDC communication failed: its channel could not be opened";
    case DDCChannelProblem::none:
        break;
    }
    return {};
}

int listDisplays(Session& session, bool json) {
    auto& controller = session.controller();
    auto& displays = controller.displays();
    // The agent's fields, with the levels this run read or remembers and which were read now.
    auto array = status::displays(controller);
    std::size_t i = 0;
    for (auto& d : displays) {
        auto& entry = array[i++];
        auto key = d.identity.stableKey();
        nlohmann::json fresh;
        for (auto control : {DisplayControl::brightness, DisplayControl::contrast, DisplayControl::volume}) {
            Level level = levelOf(session, d, control, false);
            entry[std::string(toString(control))] = orNull(level.value);
            fresh[std::string(toString(control))] = level.fresh;
        }
        entry["fresh"] = fresh;
        auto problem = controller.ddcDriver().channelProblem(key);
        entry["ddcProblem"] = d.capabilities.supportsHardwareBrightness || problem == DDCChannelProblem::none
                                  ? nlohmann::json(nullptr)
                                  : nlohmann::json(problemName(problem));
    }
    printDisplays(array, json);
    return 0;
}

int getLevel(Session& session, const std::string& displayWord, const std::string& controlWord, bool json) {
    DisplayControl control = parseControl(controlWord);
    auto& displays = session.controller().displays();
    const bool all = displayWord == "all";
    auto targets = selectDisplays(displayWord, displays);
    int result = 0;
    auto levels = nlohmann::json::array();
    for (auto& d : targets) {
        std::string failure = ddcFailure(session, d);
        if (!failure.empty()) {
            std::cerr << fmt::format("brivioctl: '{}': {}\n", d.identity.modelName, failure);
            result = 1;
            continue;
        }
        if (!status::supports(d, control)) {
            if (all)
                continue;
            throw UsageError(fmt::format("'{}' has no {} control", displayWord, controlWord));
        }
        Level level = levelOf(session, d, control, true);
        if (!level.value) {
            std::cerr << fmt::format("brivioctl: the {} of '{}' is not known yet\n", controlWord,
                                     all ? d.identity.stableKey() : displayWord);
            result = 1;
            continue;
        }
        if (json) {
            levels.push_back({{"display", d.identity.stableKey()},
                              {"control", controlWord},
                              {"level", *level.value},
                              {"fresh", level.fresh}});
        } else if (all) {
            auto it = std::find(displays.begin(), displays.end(), d);
            std::cout << fmt::format("{}  {:<22} {}{}\n", it - displays.begin() + 1, d.identity.stableKey(),
                                     formatLevel(*level.value), level.fresh ? "" : " (remembered)");
        } else {
            std::cout << formatLevel(*level.value) << "\n";
        }
    }
    if (json && (all || !levels.empty()))
        printJson(all ? levels : levels[0]);
    return result;
}

int setLevel(Session& session, const std::string& displayWord, const std::string& controlWord,
             const std::string& valueWord) {
    DisplayControl control = parseControl(controlWord);
    double value = parseLevel(valueWord);
    auto targets = selectDisplays(displayWord, session.controller().displays());
    int status = 0;
    // A monitor that should have answered and did not: say so, and send it nothing.
    std::erase_if(targets, [&](const ManagedDisplay& d) {
        // Nothing on this desktop can dim it either: that is said below, with the reason.
        if (d.capabilities.softwareDimmingUnavailable && control == DisplayControl::brightness)
            return false;
        std::string failure = ddcFailure(session, d);
        if (failure.empty())
            return false;
        std::cerr << fmt::format("brivioctl: '{}': {}\n", d.identity.modelName, failure);
        status = 1;
        return true;
    });
    if (displayWord != "all")
        for (auto& d : targets)
            if (!status::supports(d, control))
                throw UsageError(fmt::format("'{}' has no {} control", displayWord, controlWord));
    auto& controller = session.controller();
    for (auto& d : targets) {
        if (!status::supports(d, control))
            continue;
        switch (control) {
        case DisplayControl::brightness:
            controller.setUserBrightness(value, d.identity.cgID, false, 0s);
            break;
        case DisplayControl::contrast:
            controller.setDisplayContrast(value, d.identity.cgID);
            break;
        case DisplayControl::volume:
            controller.setDisplayVolume(value, d.identity.cgID);
            break;
        case DisplayControl::mute:
            break;
        }
    }
    session.settle();
    // Software dimming lives in windows of a running agent; a backend that cannot open them (this
    // desktop, from the command line) must not report the change as made.
    if (control == DisplayControl::brightness && value < 1.0)
        for (auto& d : targets) {
            if (d.capabilities.supportsHardwareBrightness)
                continue;
            if (d.capabilities.softwareDimmingUnavailable) {
                std::cerr << fmt::format(
                    "brivioctl: '{}' cannot be dimmed on this desktop: it has no hardware "
                    "brightness control, and {}; the level is kept\n",
                    d.identity.modelName, *d.capabilities.softwareDimmingUnavailable);
                status = 1;
                continue;
            }
            if (!controller.overlayDriver().canDim(d.identity.stableKey()) &&
                !controller.gammaDriver().hasState(d.identity.stableKey())) {
                std::cerr << fmt::format(
                    "brivioctl: '{}' has no hardware brightness control here, and software "
                    "dimming needs the desktop agent (brivio) running; the level is kept "
                    "for it\n",
                    d.identity.modelName);
                status = 1;
            }
        }
    return status;
}

void addLevelCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        std::string display, control, value;
    };
    auto words = std::make_shared<Words>();
    const char* I = bus::displaysInterface;

    // Without an agent each command talks to the monitors itself: it probes only the displays it
    // names, asks them only for what it needs, and writes nothing that it was not told to.
    commands.add(app, "list", "List the displays in order", [I](CommandContext& c) {
        if (auto* agent = c.agent())
            return throughAgent([&] {
                printDisplays(agentList(*agent, I, "GetDisplays"), c.options().json);
                return 0;
            });
        return listDisplays(c.session(DisplayScope::reading(std::nullopt, true, true, true)),
                            c.options().json);
    });

    auto* get = commands.add(
        app, "get", "Print a display's level as a fraction (all: one line each)",
        [words, I](CommandContext& c) {
            DisplayControl control = parseControl(words->control);
            if (auto* agent = c.agent())
                return throughAgent([&] {
                    if (words->display == "all")
                        return printAllLevels(agentList(*agent, I, "GetDisplays"), words->control,
                                              c.options().json);
                    double level = agent->get<double>(I, "GetLevel", words->display, words->control);
                    printLevel(words->display, words->control, level, c.options().json);
                    return 0;
                });
            auto scope =
                DisplayScope::reading(std::vector{words->display}, control == DisplayControl::contrast,
                                      control == DisplayControl::volume);
            return getLevel(c.session(scope), words->display, words->control, c.options().json);
        });
    get->add_option("DISPLAY", words->display, "Stable key, number from 'list', or all")->required();
    get->add_option("CONTROL", words->control, "brightness, contrast or volume")->required();

    auto* set =
        commands.add(app, "set", "Set a display's level, as a slider would", [words, I](CommandContext& c) {
            DisplayControl control = parseControl(words->control);
            double level = parseLevel(words->value);
            if (auto* agent = c.agent())
                return throughAgent([&] {
                    agent->call(I, "SetLevel", words->display, words->control, level, false);
                    return 0;
                });
            // The set itself is the write; the probe only reads what scaling the level needs.
            auto scope =
                DisplayScope::reading(std::vector{words->display}, control == DisplayControl::contrast,
                                      control == DisplayControl::volume);
            return setLevel(c.session(scope), words->display, words->control, words->value);
        });
    set->add_option("DISPLAY", words->display, "Stable key, number from 'list', or all")->required();
    set->add_option("CONTROL", words->control, "brightness, contrast or volume")->required();
    set->add_option("VALUE", words->value, "A fraction from 0 to 1, or a percentage like 50%")->required();
}

} // namespace brivio::cli
