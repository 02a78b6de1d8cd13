#include "platform/linux/Backlight.h"

#include "platform/linux/SysfsFiles.h"

#include <algorithm>

namespace brivio {

BacklightType backlightTypeFromString(std::string_view text) {
    if (text == "firmware")
        return BacklightType::firmware;
    if (text == "platform")
        return BacklightType::platform;
    if (text == "raw")
        return BacklightType::raw;
    return BacklightType::unknown;
}

std::optional<double> Backlight::level() const {
    if (maxBrightness == 0)
        return std::nullopt;
    return std::clamp(double(brightness) / double(maxBrightness), 0.0, 1.0);
}

BacklightScanner::BacklightScanner(std::filesystem::path sysfsRoot) : root_(std::move(sysfsRoot)) {}

std::vector<Backlight> BacklightScanner::scan() const {
    std::vector<Backlight> backlights;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / "class" / "backlight", ec)) {
        Backlight b;
        b.name = entry.path().filename().string();
        std::error_code pathError;
        b.path = std::filesystem::canonical(entry.path(), pathError);
        if (pathError)
            continue;
        auto brightness = sysfs::readNumber(b.path / "brightness");
        auto max = sysfs::readNumber(b.path / "max_brightness");
        if (!brightness || !max)
            continue;
        b.brightness = *brightness;
        b.maxBrightness = *max;
        b.type = backlightTypeFromString(sysfs::readLine(b.path / "type").value_or(""));
        b.device = sysfs::linkTarget(b.path / "device");
        backlights.push_back(std::move(b));
    }
    std::sort(backlights.begin(), backlights.end(),
              [](const Backlight& a, const Backlight& b) { return a.name < b.name; });
    return backlights;
}

std::optional<double> BacklightScanner::readLevel(const Backlight& backlight) const {
    auto brightness = sysfs::readNumber(backlight.path / "brightness");
    auto max = sysfs::readNumber(backlight.path / "max_brightness");
    if (!brightness || !max)
        return std::nullopt;
    Backlight current = backlight;
    current.brightness = *brightness;
    current.maxBrightness = *max;
    return current.level();
}

std::optional<Backlight> chooseBacklight(const std::vector<Backlight>& backlights,
                                         const std::vector<DrmConnector>& connectors) {
    for (const auto& connector : connectors) {
        if (!connector.builtIn)
            continue;
        for (const auto& b : backlights)
            if (b.device && *b.device == connector.path)
                return b;
    }
    // A device of unknown type, or one that belongs to an external monitor (a DDC/CI backlight
    // driver, say), would dim something other than the panel.
    auto external = [&](const Backlight& b) {
        return b.device && std::any_of(connectors.begin(), connectors.end(), [&](const DrmConnector& c) {
                   return !c.builtIn && *b.device == c.path;
               });
    };
    const Backlight* best = nullptr;
    for (const auto& b : backlights)
        if (b.type != BacklightType::unknown && !external(b) && (!best || b.type < best->type))
            best = &b;
    if (!best)
        return std::nullopt;
    return *best;
}

} // namespace brivio
