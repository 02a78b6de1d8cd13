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
        std::string brightness = d["brightness"].is_number()
                                     ? fmt::format("{:.0f}%", d["brightness"].get<double>() * 100)
                                     : std::string("-");
        std::string reason;
        if (auto it = d["capabilities"].find("hardwareBrightnessFallbackReason");
            it != d["capabilities"].end())
            reason = fmt::format(" ({})", it->get<std::string>());
        std::cout << fmt::format("{}  {:<22} {:<24} {:<8} brightness {}{}\n", d["index"].get<std::size_t>(),
                                 d["stableKey"].get<std::string>(), d["name"].get<std::string>(),
                                 d["driver"].get<std::string>(), brightness, reason);
    }
}

void printLevel(const std::string& display, const std::string& control, double level, bool asJson) {
    if (asJson)
        printJson({{"display", display}, {"control", control}, {"level", level}});
    else
        std::cout << formatLevel(level) << "\n";
}

} // namespace

int listDisplays(Session& session, bool json) {
    printDisplays(status::displays(session.controller()), json);
    return 0;
}

int getLevel(Session& session, const std::string& displayWord, const std::string& controlWord, bool json) {
    DisplayControl control = parseControl(controlWord);
    ManagedDisplay d = selectDisplay(displayWord, session.controller().displays());
    if (!status::supports(d, control))
        throw UsageError(fmt::format("'{}' has no {} control", displayWord, controlWord));
    auto value = status::knownLevel(session.controller(), d, control);
    if (!value) {
        std::cerr << fmt::format("brivioctl: the {} of '{}' is not known yet\n", controlWord, displayWord);
        return 1;
    }
    printLevel(d.identity.stableKey(), controlWord, *value, json);
    return 0;
}

int setLevel(Session& session, const std::string& displayWord, const std::string& controlWord,
             const std::string& valueWord) {
    DisplayControl control = parseControl(controlWord);
    double value = parseLevel(valueWord);
    auto targets = selectDisplays(displayWord, session.controller().displays());
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
    int status = 0;
    if (control == DisplayControl::brightness && value < 1.0)
        for (auto& d : targets)
            if (!d.capabilities.supportsHardwareBrightness &&
                !controller.overlayDriver().canDim(d.identity.stableKey()) &&
                !controller.gammaDriver().hasState(d.identity.stableKey())) {
                std::cerr << fmt::format(
                    "brivioctl: '{}' has no hardware brightness control here, and software "
                    "dimming needs the desktop agent (brivio) running; the level is kept "
                    "for it\n",
                    d.identity.modelName);
                status = 1;
            }
    return status;
}

void addLevelCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        std::string display, control, value;
    };
    auto words = std::make_shared<Words>();
    const char* I = bus::displaysInterface;

    commands.add(app, "list", "List the displays in order", [I](CommandContext& c) {
        if (auto* agent = c.agent())
            return throughAgent([&] {
                printDisplays(agentList(*agent, I, "GetDisplays"), c.options().json);
                return 0;
            });
        return listDisplays(c.session(), c.options().json);
    });

    auto* get =
        commands.add(app, "get", "Print a display's level as a fraction", [words, I](CommandContext& c) {
            if (auto* agent = c.agent())
                return throughAgent([&] {
                    parseControl(words->control);
                    double level = agent->get<double>(I, "GetLevel", words->display, words->control);
                    printLevel(words->display, words->control, level, c.options().json);
                    return 0;
                });
            return getLevel(c.session(), words->display, words->control, c.options().json);
        });
    get->add_option("DISPLAY", words->display, "Stable key, number from 'list', or all")->required();
    get->add_option("CONTROL", words->control, "brightness, contrast or volume")->required();

    auto* set =
        commands.add(app, "set", "Set a display's level, as a slider would", [words, I](CommandContext& c) {
            if (auto* agent = c.agent())
                return throughAgent([&] {
                    parseControl(words->control);
                    agent->call(I, "SetLevel", words->display, words->control, parseLevel(words->value),
                                false);
                    return 0;
                });
            return setLevel(c.session(), words->display, words->control, words->value);
        });
    set->add_option("DISPLAY", words->display, "Stable key, number from 'list', or all")->required();
    set->add_option("CONTROL", words->control, "brightness, contrast or volume")->required();
    set->add_option("VALUE", words->value, "A fraction from 0 to 1, or a percentage like 50%")->required();
}

} // namespace brivio::cli
