#include "ModeCommands.h"

#include "AgentCalls.h"
#include "Arguments.h"
#include "app/StatusJson.h"
#include "modes/DisplayControlStrip.h"
#include "modes/ModeWords.h"

#include <algorithm>
#include <cctype>
#include <fmt/format.h>
#include <iostream>

namespace brivio::cli {

namespace {

using nlohmann::json;

// Longer than the countdown: the agent says how it ended, or the command gives up waiting.
constexpr Duration settleWait = 30s;

// Modes and rotation need the desktop's display configuration; without one, say so and stop.
void requireModes(Session& session, const ManagedDisplay& display, const std::string& displayWord) {
    if (auto why = session.controller().platform().windowServer.modesUnavailable(display.identity.cgID))
        throw std::runtime_error(
            fmt::format("'{}': modes and rotation cannot be changed here: {}", displayWord, *why));
}

// A strip over the display for one command: the lists and the current mode read as the panel reads them.
struct StripSession {
    DisplayModeManager manager;
    DisplayControlStrip strip;
    StripSession(Session& session, const ManagedDisplay& display)
        : manager(session.controller().platform().windowServer, session.controller().platform().registry,
                  session.controller().platform().rotation),
          strip(session.loop(), manager, display) {}
};

// How a change ended: "kept", "reverted", "unchanged" (nothing known to go back to) or "already".
void report(const std::string& outcome, const std::string& description, const json& details, bool asJson) {
    if (asJson) {
        json out = details;
        out["outcome"] = outcome;
        printJson(out);
        return;
    }
    if (outcome == "kept")
        std::cout << fmt::format("Kept {}.\n", description);
    else if (outcome == "unchanged")
        std::cout << fmt::format("Now {}.\n", description);
    else if (outcome == "reverted")
        std::cout << fmt::format("Not confirmed: reverted to {}.\n", description);
}

// The panel's own banner: "Keep the display changes? (10s)" or "Keep the rotation? (10s)".
void printTick(PendingKind kind, int secondsLeft, bool asJson) {
    if (!asJson)
        std::cout << keepBanner(kind, secondsLeft) << "\n" << std::flush;
}

// Waits out the countdown of `kind` in the session's time, printing each second, and says how it ended.
std::string confirm(Session& session, DisplayControlStrip& strip, PendingKind kind, bool keep, bool asJson,
                    const std::function<std::string()>& describe) {
    if (keep) {
        kind == PendingKind::mode ? strip.keepMode() : strip.keepRotation();
        session.settle();
        return "kept";
    }
    if (!strip.state().pending(kind)) {
        // Nothing known to go back to.
        session.settle();
        return "unchanged";
    }
    auto remaining = [&] {
        return kind == PendingKind::mode ? strip.state().revertCountdown
                                         : strip.state().rotationRevertCountdown;
    };
    printTick(kind, remaining(), asJson);
    auto ticks = strip.changed().subscribe([&](PendingKind changed) {
        if (changed == kind && strip.state().pending(kind))
            printTick(kind, remaining(), asJson);
    });
    // The simulated desk has nobody to answer, so its countdown runs out in virtual time.
    try {
        session.settle();
    } catch (...) {
        // Interrupted (Ctrl-C, a kill, the terminal closed): nobody confirmed the change, and the
        // countdown cannot outlive the run.
        ticks.reset();
        strip.revertUnconfirmed();
        if (!asJson)
            std::cout << fmt::format("Not confirmed: reverted to {}.\n", describe()) << std::flush;
        throw;
    }
    return "reverted";
}

const DisplayResolutionMode* currentIn(const std::vector<DisplayResolutionMode>& list,
                                       const CurrentMode& current, bool byId) {
    if (!current)
        return nullptr;
    for (auto& m : list)
        if (byId ? m.id() == current->id()
                 : m.width == current->width && m.height == current->height &&
                       m.pixelWidth == current->pixelWidth)
            return &m;
    return nullptr;
}

void printModes(const std::string& displayWord, const json& list, bool all, bool asJson) {
    if (asJson) {
        printJson(list);
        return;
    }
    if (list.empty()) {
        std::cout << fmt::format("'{}' lists no modes.\n", displayWord);
        return;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        const auto& m = list[i];
        std::string number = all ? "" : fmt::format("{:>3}", i + 1);
        std::cout << fmt::format("{} {}  {:<20} {:>8}  {}\n", m["current"].get<bool>() ? "*" : " ", number,
                                 m["label"].get<std::string>(),
                                 refreshRateRowTitle(m["refreshRate"].get<double>()),
                                 m["id"].get<std::string>());
    }
}

std::string modeText(const CurrentMode& mode) {
    return mode ? fmt::format("{} at {}", mode->label(), refreshRateRowTitle(mode->refreshRate))
                : std::string("an unknown mode");
}

} // namespace

int parseAngle(const std::string& word) {
    for (int angle : rotationAngles)
        if (word == std::to_string(angle))
            return angle;
    throw UsageError(fmt::format("'{}' is not an angle (0, 90, 180 or 270)", word));
}

DisplayResolutionMode selectMode(const std::string& word, const std::vector<DisplayResolutionMode>& modes,
                                 const std::vector<DisplayResolutionMode>& allModes) {
    if (auto mode = modeNamed(word, modes, allModes))
        return *mode;
    bool digits = !word.empty() &&
                  std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isdigit(c); });
    if (digits)
        throw UsageError(fmt::format("'{}' is not a mode number (1 to {})", word, modes.size()));
    throw UsageError(fmt::format("'{}' is not a listed mode (see brivioctl modes)", word));
}

int listModes(Session& session, const std::string& displayWord, bool all, bool asJson) {
    ManagedDisplay display = selectDisplay(displayWord, session.controller().displays());
    requireModes(session, display, displayWord);
    StripSession s(session, display);
    const auto& state = s.strip.state();
    const auto& list = all ? state.allModes : state.modes;
    // The current mode is marked as the panel ticks it: by size in the short list, exactly in the full one.
    const DisplayResolutionMode* current = currentIn(list, state.currentMode, all);
    auto array = json::array();
    for (const auto& m : list)
        array.push_back(status::mode(m, &m == current));
    printModes(displayWord, array, all, asJson);
    return 0;
}

int applyMode(Session& session, const std::string& displayWord, const std::string& modeWord, bool keep,
              bool asJson) {
    ManagedDisplay display = selectDisplay(displayWord, session.controller().displays());
    requireModes(session, display, displayWord);
    StripSession s(session, display);
    DisplayResolutionMode target = selectMode(modeWord, s.strip.state().modes, s.strip.state().allModes);
    auto& strip = s.strip;
    json details{{"display", display.identity.stableKey()}};
    if (strip.state().currentMode == target) {
        details["mode"] = target.id();
        if (!asJson)
            std::cout << fmt::format("'{}' already is in {}.\n", displayWord, target.label());
        report("already", target.label(), details, asJson);
        return 0;
    }
    strip.applyMode(target);
    if (strip.state().currentMode != target) {
        std::cerr << fmt::format("brivioctl: '{}' refused the mode {}\n", displayWord, target.label());
        return 1;
    }
    std::string outcome = confirm(session, strip, PendingKind::mode, keep, asJson,
                                  [&] { return modeText(strip.state().currentMode); });
    const auto& current = strip.state().currentMode;
    details["mode"] = current ? json(current->id()) : json(nullptr);
    report(outcome, modeText(current), details, asJson);
    return 0;
}

int applyRotation(Session& session, const std::string& displayWord, const std::string& angleWord, bool keep,
                  bool asJson) {
    int angle = parseAngle(angleWord);
    ManagedDisplay display = selectDisplay(displayWord, session.controller().displays());
    if (display.isBuiltIn)
        throw UsageError(
            fmt::format("'{}' is the built-in display, which has no rotation control", displayWord));
    requireModes(session, display, displayWord);
    StripSession s(session, display);
    auto& strip = s.strip;
    json details{{"display", display.identity.stableKey()}, {"rotation", angle}};
    if (strip.state().currentRotation == angle) {
        if (!asJson)
            std::cout << fmt::format("'{}' already is at {}.\n", displayWord, rotationText(angle));
        report("already", rotationText(angle), details, asJson);
        return 0;
    }
    strip.applyRotation(angle);
    if (strip.state().currentRotation != angle) {
        std::cerr << fmt::format("brivioctl: '{}' could not be turned to {}\n", displayWord,
                                 rotationText(angle));
        return 1;
    }
    std::string outcome = confirm(session, strip, PendingKind::rotation, keep, asJson,
                                  [&] { return rotationText(strip.state().currentRotation); });
    details["rotation"] = strip.state().currentRotation;
    report(outcome, rotationText(strip.state().currentRotation), details, asJson);
    return 0;
}

namespace {

// The same commands through the running agent, whose countdown runs in real time: the command waits
// for its signals and may be answered from the panel as well.

const char* const modesBus = bus::modesInterface;

std::string stableKeyOf(bus::AgentClient& agent, const std::string& word) {
    for (const auto& d : agentList(agent, bus::displaysInterface, "GetDisplays"))
        if (d["stableKey"] == word || std::to_string(d["index"].get<std::size_t>()) == word)
            return d["stableKey"].get<std::string>();
    return word; // the agent names the mistake
}

// Applies, then keeps at once or follows the countdown to its end; the outcome and what is current.
std::pair<std::string, std::string> changeThroughAgent(bus::AgentClient& agent, const std::string& key,
                                                       PendingKind kind, const std::string& word, bool keep,
                                                       bool asJson) {
    const char* kindWord = kind == PendingKind::mode ? "mode" : "rotation";
    std::optional<std::string> settled, current;
    agent.onSignal(modesBus, "Countdown", [&](sdbus::Signal& signal) {
        std::string display, kindName;
        std::int32_t left = 0;
        signal >> display >> kindName >> left;
        if (display == key && kindName == kindWord && !settled)
            printTick(kind, left, asJson);
    });
    agent.onSignal(modesBus, "Settled", [&](sdbus::Signal& signal) {
        std::string display, kindName, outcome, now;
        signal >> display >> kindName >> outcome >> now;
        if (display == key && kindName == kindWord) {
            settled = outcome;
            current = now;
        }
    });
    bool pending = false;
    std::string now;
    if (kind == PendingKind::mode) {
        auto reply = agent.call(modesBus, "ApplyMode", key, word);
        reply >> now >> pending;
    } else {
        std::int32_t degrees = 0;
        auto reply = agent.call(modesBus, "ApplyRotation", key, std::int32_t(parseAngle(word)));
        reply >> degrees >> pending;
        now = std::to_string(degrees);
    }
    if (!pending)
        return {"unchanged", now};
    if (keep)
        agent.call(modesBus, kind == PendingKind::mode ? "KeepMode" : "KeepRotation", key);
    if (!agent.waitUntil([&] { return settled.has_value(); }, settleWait))
        throw std::runtime_error("the agent did not say how the change ended");
    return {*settled, *current};
}

int modeThroughAgent(bus::AgentClient& agent, const std::string& displayWord, const std::string& word,
                     bool keep, bool asJson) {
    return throughAgent([&] {
        std::string key = stableKeyOf(agent, displayWord);
        json before = agentObject(agent, modesBus, "GetModeState", key);
        auto [outcome, now] = changeThroughAgent(agent, key, PendingKind::mode, word, keep, asJson);
        json modes = agentList(agent, modesBus, "ListModes", key, true);
        std::string label = "an unknown mode";
        for (const auto& m : modes)
            if (m["id"] == now)
                label = fmt::format("{} at {}", m["label"].get<std::string>(),
                                    refreshRateRowTitle(m["refreshRate"].get<double>()));
        if (outcome == "unchanged" && before.value("mode", json()) == now) {
            outcome = "already";
            if (!asJson)
                std::cout << fmt::format("'{}' already is in {}.\n", displayWord, label);
        }
        report(outcome, label, {{"display", key}, {"mode", now}}, asJson);
        return 0;
    });
}

int rotateThroughAgent(bus::AgentClient& agent, const std::string& displayWord, const std::string& angleWord,
                       bool keep, bool asJson) {
    int angle = parseAngle(angleWord);
    return throughAgent([&] {
        std::string key = stableKeyOf(agent, displayWord);
        json before = agentObject(agent, modesBus, "GetModeState", key);
        auto [outcome, now] = changeThroughAgent(agent, key, PendingKind::rotation, angleWord, keep, asJson);
        int degrees = std::stoi(now);
        if (outcome == "unchanged" && before.value("rotation", -1) == angle) {
            outcome = "already";
            if (!asJson)
                std::cout << fmt::format("'{}' already is at {}.\n", displayWord, rotationText(angle));
        }
        report(outcome, rotationText(degrees), {{"display", key}, {"rotation", degrees}}, asJson);
        return 0;
    });
}

} // namespace

void addModeCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        bool all = false, keep = false;
        std::string display, mode, angle;
    };
    auto words = std::make_shared<Words>();

    auto* modes = commands.add(
        app, "modes", "List a display's modes, the current one marked with *", [words](CommandContext& c) {
            bool json = c.options().json;
            if (auto* agent = c.agent())
                return throughAgent([&] {
                    printModes(words->display,
                               agentList(*agent, modesBus, "ListModes", words->display, words->all),
                               words->all, json);
                    return 0;
                });
            return listModes(c.session(DisplayScope::reading(std::vector{words->display})), words->display,
                             words->all, json);
        });
    modes->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    modes->add_flag("--all", words->all, "Every mode at every refresh rate (choose one by its id)");

    auto* mode = commands.add(
        app, "mode", "Switch a display's mode; reverted after 10 s unless kept", [words](CommandContext& c) {
            bool json = c.options().json;
            if (auto* agent = c.agent())
                return modeThroughAgent(*agent, words->display, words->mode, words->keep, json);
            // Modes need nothing of DDC/CI: the display is only named.
            return applyMode(c.session(DisplayScope::reading(std::vector{words->display})), words->display,
                             words->mode, words->keep, json);
        });
    mode->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    mode->add_option("MODE", words->mode, "Number or label from 'modes', or an id from 'modes --all'")
        ->required();
    mode->add_flag("--keep", words->keep, "Keep the new mode without asking");

    auto* rotate = commands.add(
        app, "rotate", "Turn a display; reverted after 10 s unless kept", [words](CommandContext& c) {
            bool json = c.options().json;
            if (auto* agent = c.agent())
                return rotateThroughAgent(*agent, words->display, words->angle, words->keep, json);
            return applyRotation(c.session(DisplayScope::reading(std::vector{words->display})),
                                 words->display, words->angle, words->keep, json);
        });
    rotate->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    rotate->add_option("ANGLE", words->angle, "0, 90, 180 or 270")->required();
    rotate->add_flag("--keep", words->keep, "Keep the new rotation without asking");
}

} // namespace brivio::cli
