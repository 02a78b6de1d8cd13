// Presets, stepping and brightness sync from the command line: the same controller operations that
// the panel's preset card, the hot keys and the sync switch call.

#include "Arguments.h"
#include "CommandSet.h"
#include "app/AgentSocket.h"
#include "settings/PresetEditing.h"

#include <algorithm>
#include <fmt/format.h>
#include <iostream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace brivio::cli {

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// By id, else by name (exact, then ignoring case).
std::optional<BrightnessPreset> findPreset(const std::vector<BrightnessPreset>& presets,
                                           const std::string& word) {
    if (auto id = Uuid::parse(word))
        for (auto& p : presets)
            if (p.id == *id)
                return p;
    for (auto& p : presets)
        if (p.name == word)
            return p;
    for (auto& p : presets)
        if (lowercase(p.name) == lowercase(word))
            return p;
    return std::nullopt;
}

BrightnessPreset requirePreset(Session& session, const std::string& word) {
    auto preset = findPreset(session.preferences().globalPresets(), word);
    if (!preset)
        throw UsageError(fmt::format("'{}' is not a preset (see 'brivioctl preset list')", word));
    return *preset;
}

bool isUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

std::string percent(double level) {
    return fmt::format("{:.0f}%", level * 100);
}

int listPresets(Session& session) {
    auto& prefs = session.preferences();
    int index = 1;
    for (auto& p : prefs.globalPresets()) {
        std::string line = fmt::format("{}  {:<16} brightness {}", index++, p.name, percent(p.brightness));
        if (p.contrast)
            line += " contrast " + percent(*p.contrast);
        if (p.volume)
            line += " volume " + percent(*p.volume);
        if (prefs.globalActivePresetIDStr() == p.id.toString())
            line += "  (active)";
        std::cout << line << "  " << p.id.toString() << "\n";
    }
    return 0;
}

struct PresetWords {
    std::string name;
    std::optional<std::string> brightness, contrast, volume;
};

std::optional<double> optionalLevel(const std::optional<std::string>& word) {
    if (!word)
        return std::nullopt;
    return parseLevel(*word);
}

int savePreset(Session& session, const PresetWords& words) {
    auto& prefs = session.preferences();
    auto contrast = optionalLevel(words.contrast);
    auto volume = optionalLevel(words.volume);
    // Without a level, the preset keeps what the first display shows now.
    double brightness = 1.0;
    if (words.brightness)
        brightness = parseLevel(*words.brightness);
    else if (auto& displays = session.controller().displays(); !displays.empty()) {
        auto& map = prefs.brightnessByDisplay();
        if (auto it = map.find(displays.front().identity.stableKey()); it != map.end())
            brightness = it->second;
    }
    if (!isUtf8(words.name))
        throw UsageError("a preset's name must be UTF-8 text");
    auto presets = prefs.globalPresets();
    if (auto existing = findPreset(presets, trimWhitespace(words.name))) {
        // Their levels are fixed; "Updated" would report a change that did not happen.
        if (isBuiltInPresetID(existing->id))
            throw UsageError(fmt::format("'{}' is built in and its levels cannot change; save them under "
                                         "a new name",
                                         existing->name));
        if (!prefs.upsertPreset(editPreset(*existing, words.name, brightness, contrast, volume)))
            throw std::runtime_error(
                fmt::format("preset {} could not be stored; nothing was changed", existing->name));
        std::cout << fmt::format("Updated preset {}\n", existing->name);
        return 0;
    }
    auto preset = makeNewPreset(words.name, brightness, contrast, volume);
    if (!preset)
        throw UsageError("a preset needs a name");
    if (presets.size() >= maxPresetCount)
        throw UsageError(fmt::format("there are already {} presets; delete one first", maxPresetCount));
    if (!prefs.upsertPreset(*preset))
        throw std::runtime_error(
            fmt::format("preset {} could not be stored; nothing was saved", preset->name));
    std::cout << fmt::format("Saved preset {}\n", preset->name);
    return 0;
}

int deletePreset(Session& session, const std::string& word) {
    auto preset = requirePreset(session, word);
    if (isBuiltInPresetID(preset.id))
        throw UsageError(fmt::format("'{}' is built in and cannot be deleted", word));
    session.preferences().deletePreset(preset.id);
    return 0;
}

int applyPreset(Session& session, const std::string& word) {
    auto preset = requirePreset(session, word);
    session.controller().applyPreset(preset);
    session.settle();
    return 0;
}

int step(CommandContext& context, const std::string& direction) {
    if (direction != "up" && direction != "down")
        throw UsageError(fmt::format("'{}' is not a direction: use up or down", direction));
    // On this desktop a running agent takes the step, so that software-dimmed displays step as well and
    // its indicator shows; without one the command steps the displays itself.
    if (!context.options().simFile && !context.options().sysfsRoot &&
        sendToAgent(direction == "up" ? stepUpRequest : stepDownRequest)) {
        std::cout << "Stepped " << direction << " in the running agent.\n";
        return 0;
    }
    Session& session = context.session();
    session.controller().stepBrightness(direction == "up" ? 1 : -1);
    session.settle();
    return 0;
}

int sync(Session& session, const std::string& word) {
    auto& prefs = session.preferences();
    if (word == "off") {
        prefs.setSyncLeaderKey(std::nullopt);
        return 0;
    }
    auto leader = selectDisplay(word, session.controller().displays());
    prefs.setSyncLeaderKey(leader.identity.stableKey());
    session.controller().syncFollowersToLeader();
    session.settle();
    return 0;
}

} // namespace

void addAutomationCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        std::string word;
        PresetWords preset;
        CLI::App* list = nullptr;
        CLI::App* apply = nullptr;
        CLI::App* save = nullptr;
    };
    auto words = std::make_shared<Words>();

    auto* preset = commands.add(app, "preset", "List, apply, save or delete brightness presets",
                                [words](CommandContext& c) {
                                    Session& session = c.session();
                                    if (words->list->parsed())
                                        return listPresets(session);
                                    if (words->apply->parsed())
                                        return applyPreset(session, words->word);
                                    if (words->save->parsed())
                                        return savePreset(session, words->preset);
                                    return deletePreset(session, words->word);
                                });
    preset->require_subcommand(1);
    words->list = preset->add_subcommand("list", "List the presets (the active one is marked)");
    words->apply = preset->add_subcommand("apply", "Apply a preset to every display");
    words->apply->add_option("PRESET", words->word, "Name or id")->required();
    words->save =
        preset->add_subcommand("save", "Save a preset: a new name adds one, a known name updates it");
    words->save->add_option("NAME", words->preset.name, "The preset's name")->required();
    words->save->add_option("--brightness", words->preset.brightness, "Level; default: the first display's");
    words->save->add_option("--contrast", words->preset.contrast, "Level; absent: contrast is left alone");
    words->save->add_option("--volume", words->preset.volume, "Level; absent: volume is left alone");
    auto* remove = preset->add_subcommand("delete", "Delete a preset you made");
    remove->add_option("PRESET", words->word, "Name or id")->required();

    auto* stepCommand = commands.add(app, "step", "Step every display's brightness, as the hot keys do",
                                     [words](CommandContext& c) { return step(c, words->word); });
    stepCommand->add_option("DIRECTION", words->word, "up or down")->required();

    auto* syncCommand = commands.add(app, "sync", "Let one display lead the brightness of the others",
                                     [words](CommandContext& c) { return sync(c.session(), words->word); });
    syncCommand->add_option("LEADER", words->word, "A display (stable key or number), or off")->required();
}

} // namespace brivio::cli
