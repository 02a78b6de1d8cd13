#include "Commands.h"

#include "Arguments.h"
#include "CommandSet.h"

#include <fmt/format.h>
#include <iostream>
#include <nlohmann/json.hpp>

namespace brivio::cli {

namespace {

// The path that dims the display now: under Extended Dimming a monitor without DDC/CI dims by gamma;
// where this desktop offers neither an overlay nor gamma, none does.
std::string_view driverKind(const DisplayController& controller, const ManagedDisplay& d) {
    if (!d.capabilities.supportsHardwareBrightness) {
        if (d.capabilities.softwareDimmingUnavailable)
            return "none";
        return controller.softwareDimsByGamma(d) ? "gamma" : toString(DisplayDriverKind::overlay);
    }
    return toString(d.isBuiltIn ? DisplayDriverKind::native : DisplayDriverKind::ddc);
}

// Said after a display the desktop cannot dim in software, where its slider would change nothing.
std::string dimmingNote(const ManagedDisplay& d) {
    if (d.capabilities.supportsHardwareBrightness || !d.capabilities.softwareDimmingUnavailable)
        return {};
    return "; software dimming unavailable: " + *d.capabilities.softwareDimmingUnavailable;
}

nlohmann::json rememberedOrNull(const std::map<std::string, double>& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? nlohmann::json(nullptr) : nlohmann::json(it->second);
}

bool supports(const ManagedDisplay& d, DisplayControl control) {
    switch (control) {
    case DisplayControl::brightness:
        return true;
    case DisplayControl::contrast:
        return d.capabilities.supportsHardwareContrast;
    case DisplayControl::volume:
        return d.capabilities.supportsHardwareVolume;
    case DisplayControl::mute:
        return false;
    }
    return false;
}

} // namespace

int listDisplays(Session& session, bool json) {
    auto& prefs = session.preferences();
    auto& displays = session.controller().displays();
    if (json) {
        auto array = nlohmann::json::array();
        for (auto& d : displays) {
            auto key = d.identity.stableKey();
            array.push_back({{"stableKey", key},
                             {"name", d.identity.modelName},
                             {"isBuiltIn", d.isBuiltIn},
                             {"driver", driverKind(session.controller(), d)},
                             {"capabilities", d.capabilities.toJson()},
                             {"brightness", rememberedOrNull(prefs.brightnessByDisplay(), key)},
                             {"contrast", rememberedOrNull(prefs.contrastByDisplay(), key)},
                             {"volume", rememberedOrNull(prefs.volumeByDisplay(), key)}});
        }
        std::cout << array.dump(2) << "\n";
        return 0;
    }
    if (displays.empty()) {
        std::cout << "No displays found.\n";
        return 0;
    }
    int index = 1;
    for (auto& d : displays) {
        auto key = d.identity.stableKey();
        std::string brightness = "-";
        if (auto it = prefs.brightnessByDisplay().find(key); it != prefs.brightnessByDisplay().end())
            brightness = fmt::format("{:.0f}%", it->second * 100);
        std::string reason;
        if (d.capabilities.hardwareBrightnessFallbackReason)
            reason = fmt::format(" ({})", toString(*d.capabilities.hardwareBrightnessFallbackReason));
        std::cout << fmt::format("{}  {:<22} {:<24} {:<8} brightness {}{}{}\n", index++, key,
                                 d.identity.modelName, driverKind(session.controller(), d), brightness,
                                 reason, dimmingNote(d));
    }
    return 0;
}

int getLevel(Session& session, const std::string& displayWord, const std::string& controlWord) {
    DisplayControl control = parseControl(controlWord);
    ManagedDisplay d = selectDisplay(displayWord, session.controller().displays());
    if (!supports(d, control))
        throw UsageError(fmt::format("'{}' has no {} control", displayWord, controlWord));
    auto& prefs = session.preferences();
    auto key = d.identity.stableKey();
    const auto& map = control == DisplayControl::brightness ? prefs.brightnessByDisplay()
                      : control == DisplayControl::contrast ? prefs.contrastByDisplay()
                                                            : prefs.volumeByDisplay();
    std::optional<double> value;
    if (auto it = map.find(key); it != map.end())
        value = it->second;
    else if (control == DisplayControl::brightness)
        value = session.controller().overlayDriver().brightness(key);
    else {
        auto& ddc = session.controller().ddcDriver();
        auto& cache =
            control == DisplayControl::contrast ? ddc.ddcContrastCurrentCache() : ddc.ddcVolumeCurrentCache();
        if (auto it = cache.find(key); it != cache.end())
            value = it->second;
    }
    if (!value) {
        std::cerr << fmt::format("brivioctl: the {} of '{}' is not known yet\n", controlWord, displayWord);
        return 1;
    }
    std::cout << formatLevel(*value) << "\n";
    return 0;
}

int setLevel(Session& session, const std::string& displayWord, const std::string& controlWord,
             const std::string& valueWord) {
    DisplayControl control = parseControl(controlWord);
    double value = parseLevel(valueWord);
    auto targets = selectDisplays(displayWord, session.controller().displays());
    if (displayWord != "all")
        for (auto& d : targets)
            if (!supports(d, control))
                throw UsageError(fmt::format("'{}' has no {} control", displayWord, controlWord));
    auto& controller = session.controller();
    for (auto& d : targets) {
        if (!supports(d, control))
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
        bool json = false;
        std::string display, control, value;
    };
    auto words = std::make_shared<Words>();

    auto* list = commands.add(app, "list", "List the displays in order",
                              [words](CommandContext& c) { return listDisplays(c.session(), words->json); });
    list->add_flag("--json", words->json, "Print a JSON array");

    auto* get = commands.add(app, "get", "Print a display's level as a fraction", [words](CommandContext& c) {
        return getLevel(c.session(), words->display, words->control);
    });
    get->add_option("DISPLAY", words->display, "Stable key, number from 'list', or all")->required();
    get->add_option("CONTROL", words->control, "brightness, contrast or volume")->required();

    auto* set =
        commands.add(app, "set", "Set a display's level, as a slider would", [words](CommandContext& c) {
            return setLevel(c.session(), words->display, words->control, words->value);
        });
    set->add_option("DISPLAY", words->display, "Stable key, number from 'list', or all")->required();
    set->add_option("CONTROL", words->control, "brightness, contrast or volume")->required();
    set->add_option("VALUE", words->value, "A fraction from 0 to 1, or a percentage like 50%")->required();
}

} // namespace brivio::cli
