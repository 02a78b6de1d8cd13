// Presets, stepping and brightness sync from the command line: the same controller operations that
// the panel's preset card, the hot keys and the sync switch call.

#include "AgentCalls.h"
#include "Arguments.h"
#include "CommandSet.h"
#include "app/StatusJson.h"
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

void printPresets(const nlohmann::json& presets, bool asJson) {
    if (asJson) {
        printJson(presets);
        return;
    }
    int index = 1;
    for (const auto& p : presets) {
        std::string line = fmt::format("{}  {:<16} brightness {}", index++, p["name"].get<std::string>(),
                                       percent(p["brightness"].get<double>()));
        if (p.contains("contrast"))
            line += " contrast " + percent(p["contrast"].get<double>());
        if (p.contains("volume"))
            line += " volume " + percent(p["volume"].get<double>());
        if (p["active"].get<bool>())
            line += "  (active)";
        std::cout << line << "  " << p["id"].get<std::string>() << "\n";
    }
}

void printSaved(const std::string& name, const std::string& id, bool created, bool asJson) {
    if (asJson)
        printJson({{"id", id}, {"name", name}, {"created", created}});
    else
        std::cout << fmt::format("{} preset {}\n", created ? "Saved" : "Updated", name);
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

int savePreset(Session& session, const PresetWords& words, bool json) {
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
        printSaved(existing->name, existing->id.toString(), false, json);
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
    printSaved(preset->name, preset->id.toString(), true, json);
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
    // A running agent takes the step, so that software-dimmed displays step as well and its indicator
    // shows (on Wayland the desktop's key bindings run this command); without one the command steps
    // the displays itself.
    bool json = context.options().json;
    if (auto* agent = context.agent())
        return throughAgent([&] {
            agent->call(bus::displaysInterface, direction == "up" ? "StepUp" : "StepDown");
            if (json)
                printJson({{"direction", direction}, {"throughAgent", true}});
            else
                std::cout << "Stepped " << direction << " in the running agent.\n";
            return 0;
        });
    Session& session = context.session();
    session.controller().stepBrightness(direction == "up" ? 1 : -1);
    session.settle();
    if (json)
        printJson({{"direction", direction}, {"throughAgent", false}});
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

int presetThroughAgent(bus::AgentClient& agent, const std::string& verb, const std::string& word,
                       const PresetWords& preset, bool json) {
    const char* I = bus::automationInterface;
    return throughAgent([&] {
        if (verb == "list") {
            printPresets(agentList(agent, I, "ListPresets"), json);
        } else if (verb == "apply") {
            agent.call(I, "ApplyPreset", word);
        } else if (verb == "delete") {
            agent.call(I, "DeletePreset", word);
        } else {
            std::map<std::string, double> levels;
            for (auto [name, value] :
                 {std::pair{"brightness", &preset.brightness}, std::pair{"contrast", &preset.contrast},
                  std::pair{"volume", &preset.volume}})
                if (*value)
                    levels[name] = parseLevel(**value);
            auto reply = agent.call(I, "SavePreset", preset.name, levels);
            std::string id;
            bool created = false;
            reply >> id >> created;
            printSaved(trimWhitespace(preset.name), id, created, json);
        }
        return 0;
    });
}

int syncThroughAgent(bus::AgentClient& agent, const std::string& word) {
    return throughAgent([&] {
        agent.call(bus::displaysInterface, "SetSyncLeader", word == "off" ? std::string() : word);
        return 0;
    });
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

    auto* preset = commands.add(
        app, "preset", "List, apply, save or delete brightness presets", [words](CommandContext& c) {
            bool json = c.options().json;
            std::string verb = words->list->parsed()    ? "list"
                               : words->apply->parsed() ? "apply"
                               : words->save->parsed()  ? "save"
                                                        : "delete";
            if (auto* agent = c.agent())
                return presetThroughAgent(*agent, verb, words->word, words->preset, json);
            Session& session = c.session();
            if (verb == "list") {
                printPresets(status::presets(session.preferences()), json);
                return 0;
            }
            if (verb == "apply")
                return applyPreset(session, words->word);
            if (verb == "save")
                return savePreset(session, words->preset, json);
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
                                     [words](CommandContext& c) {
                                         if (auto* agent = c.agent())
                                             return syncThroughAgent(*agent, words->word);
                                         return sync(c.session(), words->word);
                                     });
    syncCommand->add_option("LEADER", words->word, "A display (stable key or number), or off")->required();
}

} // namespace brivio::cli
