#include "ModeCommands.h"

#include "Arguments.h"
#include "modes/DisplayControlStrip.h"

#include <algorithm>
#include <cctype>
#include <fmt/format.h>
#include <iostream>

namespace brivio::cli {

namespace {

// Labels as typed: "×" or "x" between the numbers, spaces and case ignored.
std::string normalizedLabel(std::string text) {
    for (std::string_view times : {" \u00d7 ", "\u00d7"})
        for (auto at = text.find(times); at != std::string::npos; at = text.find(times))
            text.replace(at, times.size(), "x");
    std::string out;
    for (char c : text)
        if (c != ' ')
            out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool allDigits(const std::string& word) {
    return !word.empty() &&
           std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isdigit(c); });
}

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

// Waits out the countdown of `kind` in the session's time, printing each second, and says how it ended.
int confirm(Session& session, DisplayControlStrip& strip, PendingKind kind, bool keep,
            const std::function<std::string()> describe) {
    if (keep) {
        kind == PendingKind::mode ? strip.keepMode() : strip.keepRotation();
        session.settle();
        std::cout << fmt::format("Kept {}.\n", describe());
        return 0;
    }
    if (!strip.state().pending(kind)) {
        // Nothing known to go back to.
        session.settle();
        std::cout << fmt::format("Now {}.\n", describe());
        return 0;
    }
    // The panel's own banner: "Keep the display changes? (10s)" or "Keep the rotation? (10s)".
    auto banner = [&] { return kind == PendingKind::mode ? strip.modeBanner() : strip.rotationBanner(); };
    std::cout << banner().value_or("") << "\n" << std::flush;
    auto ticks = strip.changed().subscribe([&](PendingKind changed) {
        if (changed == kind && strip.state().pending(kind))
            std::cout << banner().value_or("") << "\n" << std::flush;
    });
    // The simulated desk has nobody to answer, so its countdown runs out in virtual time.
    try {
        session.settle();
    } catch (...) {
        // Interrupted (Ctrl-C, a kill, the terminal closed): nobody confirmed the change, and the
        // countdown cannot outlive the run.
        ticks.reset();
        strip.revertUnconfirmed();
        std::cout << fmt::format("Not confirmed: reverted to {}.\n", describe()) << std::flush;
        throw;
    }
    std::cout << fmt::format("Not confirmed: reverted to {}.\n", describe());
    return 0;
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

} // namespace

int parseAngle(const std::string& word) {
    for (int angle : rotationAngles)
        if (word == std::to_string(angle))
            return angle;
    throw UsageError(fmt::format("'{}' is not an angle (0, 90, 180 or 270)", word));
}

DisplayResolutionMode selectMode(const std::string& word, const std::vector<DisplayResolutionMode>& modes,
                                 const std::vector<DisplayResolutionMode>& allModes) {
    if (allDigits(word)) {
        auto index = word.size() > 4 ? 0 : std::stoul(word);
        if (index < 1 || index > modes.size())
            throw UsageError(fmt::format("'{}' is not a mode number (1 to {})", word, modes.size()));
        return modes[index - 1];
    }
    for (auto& m : allModes)
        if (m.id() == word)
            return m;
    auto wanted = normalizedLabel(word);
    for (auto& m : modes)
        if (normalizedLabel(m.label()) == wanted)
            return m;
    throw UsageError(fmt::format("'{}' is not a listed mode (see brivioctl modes)", word));
}

int listModes(Session& session, const std::string& displayWord, bool all) {
    ManagedDisplay display = selectDisplay(displayWord, session.controller().displays());
    requireModes(session, display, displayWord);
    StripSession s(session, display);
    const auto& state = s.strip.state();
    const auto& list = all ? state.allModes : state.modes;
    if (list.empty()) {
        std::cout << fmt::format("'{}' lists no modes.\n", displayWord);
        return 0;
    }
    // The current mode is marked as the panel ticks it: by size in the short list, exactly in the full one.
    const DisplayResolutionMode* current = currentIn(list, state.currentMode, all);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const auto& m = list[i];
        std::string number = all ? "" : fmt::format("{:>3}", i + 1);
        std::cout << fmt::format("{} {}  {:<20} {:>8}  {}\n", &m == current ? "*" : " ", number, m.label(),
                                 refreshRateRowTitle(m.refreshRate), m.id());
    }
    return 0;
}

int applyMode(Session& session, const std::string& displayWord, const std::string& modeWord, bool keep) {
    ManagedDisplay display = selectDisplay(displayWord, session.controller().displays());
    requireModes(session, display, displayWord);
    StripSession s(session, display);
    DisplayResolutionMode target = selectMode(modeWord, s.strip.state().modes, s.strip.state().allModes);
    auto& strip = s.strip;
    if (strip.state().currentMode == target) {
        std::cout << fmt::format("'{}' already is in {}.\n", displayWord, target.label());
        return 0;
    }
    strip.applyMode(target);
    if (strip.state().currentMode != target) {
        std::cerr << fmt::format("brivioctl: '{}' refused the mode {}\n", displayWord, target.label());
        return 1;
    }
    return confirm(session, strip, PendingKind::mode, keep, [&] {
        auto& current = strip.state().currentMode;
        return current ? fmt::format("{} at {}", current->label(), refreshRateRowTitle(current->refreshRate))
                       : std::string("an unknown mode");
    });
}

int applyRotation(Session& session, const std::string& displayWord, const std::string& angleWord, bool keep) {
    int angle = parseAngle(angleWord);
    ManagedDisplay display = selectDisplay(displayWord, session.controller().displays());
    if (display.isBuiltIn)
        throw UsageError(
            fmt::format("'{}' is the built-in display, which has no rotation control", displayWord));
    requireModes(session, display, displayWord);
    StripSession s(session, display);
    auto& strip = s.strip;
    if (strip.state().currentRotation == angle) {
        std::cout << fmt::format("'{}' already is at {}.\n", displayWord, rotationText(angle));
        return 0;
    }
    strip.applyRotation(angle);
    if (strip.state().currentRotation != angle) {
        std::cerr << fmt::format("brivioctl: '{}' could not be turned to {}\n", displayWord,
                                 rotationText(angle));
        return 1;
    }
    return confirm(session, strip, PendingKind::rotation, keep,
                   [&] { return rotationText(strip.state().currentRotation); });
}

void addModeCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        bool all = false, keep = false;
        std::string display, mode, angle;
    };
    auto words = std::make_shared<Words>();

    auto* modes = commands.add(
        app, "modes", "List a display's modes, the current one marked with *",
        [words](CommandContext& c) { return listModes(c.session(), words->display, words->all); });
    modes->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    modes->add_flag("--all", words->all, "Every mode at every refresh rate (choose one by its id)");

    auto* mode = commands.add(app, "mode", "Switch a display's mode; reverted after 10 s unless kept",
                              [words](CommandContext& c) {
                                  return applyMode(c.session(), words->display, words->mode, words->keep);
                              });
    mode->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    mode->add_option("MODE", words->mode, "Number or label from 'modes', or an id from 'modes --all'")
        ->required();
    mode->add_flag("--keep", words->keep, "Keep the new mode without asking");

    auto* rotate = commands.add(
        app, "rotate", "Turn a display; reverted after 10 s unless kept", [words](CommandContext& c) {
            return applyRotation(c.session(), words->display, words->angle, words->keep);
        });
    rotate->add_option("DISPLAY", words->display, "Stable key or number from 'list'")->required();
    rotate->add_option("ANGLE", words->angle, "0, 90, 180 or 270")->required();
    rotate->add_flag("--keep", words->keep, "Keep the new rotation without asking");
}

} // namespace brivio::cli
