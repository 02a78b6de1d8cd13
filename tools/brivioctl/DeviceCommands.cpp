// brivioctl's commands for what a monitor does beyond its levels: the input it shows, switching
// itself off, and Extended Dimming (gamma dimming) per display.

#include "AgentCalls.h"
#include "Arguments.h"
#include "CommandSet.h"
#include "Commands.h"
#include "drivers/InputSource.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fmt/format.h>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

namespace brivio::cli {

namespace {

// Runs one driver operation to its end on the session's loop.
template <typename T> T finish(Session& session, Task<T> task) {
    std::optional<T> out;
    auto body = [](Task<T> t, std::optional<T>& o) -> Task<void> { o = co_await std::move(t); };
    spawn(session.loop(), body(std::move(task), out));
    session.settle();
    if (!out)
        throw std::runtime_error("the request to the display did not finish");
    return std::move(*out);
}

std::string describeInput(std::uint8_t value) {
    const DDCInputSource* source = inputSourceWithValue(value);
    return fmt::format("{} (0x{:02X})", source ? source->name : "unknown input", value);
}

std::string knownInputs() {
    std::string names;
    for (const auto& source : ddcInputSources())
        names += (names.empty() ? "" : ", ") + source.name;
    return names;
}

ManagedDisplay inputCapable(Session& session, const std::string& word) {
    ManagedDisplay d = selectDisplay(word, session.controller().displays());
    if (std::string failure = ddcFailure(session, d); !failure.empty())
        throw std::runtime_error(fmt::format("'{}': {}", word, failure));
    if (d.isBuiltIn || !d.capabilities.supportsInputSwitch)
        throw UsageError(fmt::format("'{}' cannot switch inputs: it has no input select over DDC/CI", word));
    return d;
}

void printInput(std::uint8_t value, bool asJson) {
    const DDCInputSource* source = inputSourceWithValue(value);
    if (asJson)
        std::cout << nlohmann::json{{"input",
                                     source ? nlohmann::json(source->name) : nlohmann::json(nullptr)},
                                    {"value", value}}
                         .dump(2)
                  << "\n";
    else
        std::cout << describeInput(value) << "\n";
}

int showInput(Session& session, const std::string& displayWord, bool asJson) {
    ManagedDisplay d = inputCapable(session, displayWord);
    std::optional<std::uint8_t> value = finish(session, session.controller().inputSource(d.identity.cgID));
    if (!value) {
        std::cerr << fmt::format("brivioctl: '{}' did not say which input it shows\n", displayWord);
        return 1;
    }
    printInput(*value, asJson);
    return 0;
}

// The word is checked before any display is reached.
int switchInput(CommandContext& context, const DisplayScope& scope, const std::string& displayWord,
                const std::string& sourceWord) {
    std::optional<std::uint8_t> value = parseInputSource(sourceWord);
    if (!value)
        throw UsageError(fmt::format("'{}' is not an input: give one of {}, or a code such as 0x11",
                                     sourceWord, knownInputs()));
    Session& session = context.session(scope);
    ManagedDisplay d = inputCapable(session, displayWord);
    bool taken = session.controller().setInputSource(*value, d.identity.cgID);
    session.settle();
    if (!taken) {
        std::cerr << fmt::format("brivioctl: '{}' did not take the switch to {}\n", displayWord,
                                 describeInput(*value));
        return 1;
    }
    return 0;
}

// The user's own yes on the terminal; anything else, or no answer at all, is a no. The question goes
// where the answer of the command does not: JSON output stays one value.
bool userAgrees(const std::string& name, bool asJson) {
    std::ostream& out = asJson ? std::cerr : std::cout;
    out << fmt::format("Power off {}? The display will be powered off and must be turned back on "
                       "manually using its power button. [y/N] ",
                       name)
        << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return answer == "y" || answer == "yes";
}

int powerOff(Session& session, const std::string& displayWord, bool yes, bool asJson) {
    ManagedDisplay d = selectDisplay(displayWord, session.controller().displays());
    if (d.isBuiltIn)
        throw UsageError(
            fmt::format("'{}' is the built-in display: it is not powered off from here", displayWord));
    if (std::string failure = ddcFailure(session, d); !failure.empty())
        throw std::runtime_error(fmt::format("'{}': {}", displayWord, failure));
    if (!d.capabilities.supportsPowerOff)
        throw UsageError(fmt::format("'{}' cannot be powered off over its connection", displayWord));
    if (!yes && !userAgrees(d.identity.modelName, asJson)) {
        (asJson ? std::cerr : std::cout) << "Cancelled; nothing was sent.\n";
        return 1;
    }
    DDCDisplayDriver::PowerOffConfirmed confirmed;
    bool taken = finish(session, session.controller().powerOff(d.identity.cgID, confirmed));
    if (!taken) {
        std::cerr << fmt::format("brivioctl: '{}' did not take the power-off request\n", displayWord);
        return 1;
    }
    return 0;
}

int setDimming(Session& session, const std::string& displayWord, const std::string& modeWord) {
    if (modeWord != "extended" && modeWord != "normal")
        throw UsageError(fmt::format("'{}' is not a dimming mode: use extended or normal", modeWord));
    ManagedDisplay d = selectDisplay(displayWord, session.controller().displays());
    if (d.isBuiltIn)
        throw UsageError(fmt::format(
            "'{}' is the built-in display: Extended Dimming is for external displays", displayWord));
    bool on = modeWord == "extended";
    auto& controller = session.controller();
    WindowServer& server = controller.platform().windowServer;
    auto key = d.identity.stableKey();
    // A failure is thrown, not returned: the run then stores nothing, so the flag is not left set.
    if (on && !d.capabilities.supportsGammaDimming)
        throw std::runtime_error(
            fmt::format("'{}' cannot use Extended Dimming here: {}", displayWord,
                        server.gammaUnavailable(d.identity.cgID).value_or("no gamma control")));
    controller.setExtendedDimming(on, d.identity.cgID);
    session.settle();
    if (!on)
        return 0;
    const auto* state = controller.gammaDriver().state(key);
    if (!state)
        throw std::runtime_error(fmt::format(
            "could not read the gamma tables of '{}', so Extended Dimming cannot start", displayWord));
    // What the display shows must be what was written: read it back, as the drift check does.
    GammaTables now;
    float expected = state->baseline.red.back() * state->appliedFactor;
    if (server.getTransferTables(state->cgID, now) != 0 || std::fabs(now.red.back() - expected) > 0.003f)
        throw std::runtime_error(
            fmt::format("the desktop did not take the gamma tables of '{}'", displayWord));
    return 0;
}

// The same commands through the running agent.

const char* const displaysBus = bus::displaysInterface;

int inputThroughAgent(bus::AgentClient& agent, const std::string& displayWord, const std::string& sourceWord,
                      bool asJson) {
    std::optional<std::uint8_t> value;
    if (!sourceWord.empty()) {
        value = parseInputSource(sourceWord);
        if (!value)
            throw UsageError(fmt::format("'{}' is not an input: give one of {}, or a code such as 0x11",
                                         sourceWord, knownInputs()));
    }
    return throughAgent([&] {
        if (value)
            agent.call(displaysBus, "SetInputSource", displayWord, *value);
        else
            printInput(agent.get<std::uint8_t>(displaysBus, "GetInputSource", displayWord), asJson);
        return 0;
    });
}

int powerOffThroughAgent(bus::AgentClient& agent, const std::string& displayWord, bool yes, bool asJson) {
    return throughAgent([&] {
        // The agent refuses what cannot be powered off; ask it before asking the user.
        auto list = agentList(agent, displaysBus, "GetDisplays");
        const nlohmann::json* display = nullptr;
        for (const auto& d : list)
            if (d["stableKey"] == displayWord || std::to_string(d["index"].get<std::size_t>()) == displayWord)
                display = &d;
        if (!display)
            throw UsageError(fmt::format("'{}' is not a display: give a key or number from 'brivioctl list'",
                                         displayWord));
        if ((*display)["isBuiltIn"].get<bool>())
            throw UsageError(
                fmt::format("'{}' is the built-in display: it is not powered off from here", displayWord));
        if (!(*display)["capabilities"]["supportsPowerOff"].get<bool>())
            throw UsageError(fmt::format("'{}' cannot be powered off over its connection", displayWord));
        if (!yes && !userAgrees((*display)["name"].get<std::string>(), asJson)) {
            (asJson ? std::cerr : std::cout) << "Cancelled; nothing was sent.\n";
            return 1;
        }
        agent.call(displaysBus, "PowerOff", (*display)["stableKey"].get<std::string>(), true);
        return 0;
    });
}

} // namespace

void addDeviceCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        std::string display, source, mode;
        bool yes = false;
    };
    auto words = std::make_shared<Words>();

    auto* input = commands.add(
        app, "input", "Print a monitor's input, or switch it to another", [words](CommandContext& c) {
            if (auto* agent = c.agent())
                return inputThroughAgent(*agent, words->display, words->source, c.options().json);
            // Only input select is asked; the switch is the one write.
            auto scope = DisplayScope::reading(std::vector{words->display}, false, false, true);
            if (words->source.empty())
                return showInput(c.session(scope), words->display, c.options().json);
            return switchInput(c, scope, words->display, words->source);
        });
    input->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    input->add_option("SOURCE", words->source,
                      "An input name (HDMI 1, hdmi1, DisplayPort 2, ...) or code (0x11)");

    auto* power = commands.add(
        app, "power-off", "Switch a monitor off (only its own button turns it on)",
        [words](CommandContext& c) {
            if (auto* agent = c.agent())
                return powerOffThroughAgent(*agent, words->display, words->yes, c.options().json);
            return powerOff(c.session(DisplayScope::reading(std::vector{words->display})), words->display,
                            words->yes, c.options().json);
        });
    power->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    power->add_flag("--yes", words->yes, "Do not ask first");

    auto* dimming = commands.add(
        app, "dimming", "Turn Extended Dimming (gamma) on or off for a display", [words](CommandContext& c) {
            if (auto* agent = c.agent()) {
                if (words->mode != "extended" && words->mode != "normal")
                    throw UsageError(
                        fmt::format("'{}' is not a dimming mode: use extended or normal", words->mode));
                return throughAgent([&] {
                    agent->call(displaysBus, "SetExtendedDimming", words->display, words->mode == "extended");
                    return 0;
                });
            }
            return setDimming(c.session(DisplayScope::reading(std::vector{words->display})), words->display,
                              words->mode);
        });
    dimming->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    dimming->add_option("MODE", words->mode, "extended or normal")->required();
}

} // namespace brivio::cli
