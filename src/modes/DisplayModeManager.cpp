#include "modes/DisplayModeManager.h"

#include "base/Log.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace brivio {

namespace {

constexpr auto modesLog = LogCategory::driver;

// Wider than 320 and taller than 200 points, and at least one pixel each way.
bool largeEnough(const PlatformMode& m) {
    return m.width >= 321 && m.height >= 201 && m.pixelWidth >= 1 && m.pixelHeight >= 1;
}

std::vector<DisplayResolutionMode> convert(const std::vector<PlatformMode>& raw, bool requireGUIUsable) {
    std::vector<DisplayResolutionMode> out;
    for (const auto& m : raw)
        if ((!requireGUIUsable || m.usableForDesktopGUI) && largeEnough(m))
            out.push_back(DisplayResolutionMode::fromPlatform(m));
    return out;
}

// Keeps, per (width, height, kind), the fastest mode; the first of equal rates stays. Groups keep the
// place of their first member.
std::vector<DisplayResolutionMode> fastestPerSize(const std::vector<DisplayResolutionMode>& modes) {
    std::vector<DisplayResolutionMode> out;
    for (const auto& m : modes) {
        auto same = std::find_if(out.begin(), out.end(), [&](const DisplayResolutionMode& o) {
            return o.width == m.width && o.height == m.height && o.isHiDPI == m.isHiDPI;
        });
        if (same == out.end())
            out.push_back(m);
        else if (m.refreshRate > same->refreshRate)
            *same = m;
    }
    return out;
}

bool sameSize(const DisplayResolutionMode& m, const PlatformMode& p) {
    return m.width == p.width && m.height == p.height && m.pixelWidth == p.pixelWidth;
}

} // namespace

void sortModes(std::vector<DisplayResolutionMode>& modes) {
    std::stable_sort(modes.begin(), modes.end(),
                     [](const DisplayResolutionMode& a, const DisplayResolutionMode& b) {
                         return std::tuple(a.width, a.isHiDPI, a.refreshRate) >
                                std::tuple(b.width, b.isHiDPI, b.refreshRate);
                     });
}

std::vector<DisplayResolutionMode> DisplayModeManager::listed(DisplayNumber display, bool logged) const {
    auto raw = windowServer_.allDisplayModes(display);
    if (!raw) {
        if (logged)
            logError(modesLog, "DisplayModeManager: modes({}): CGDisplayCopyAllDisplayModes returned nil",
                     display);
        return {};
    }
    if (logged)
        logDebug(modesLog, "DisplayModeManager: modes({}): raw={} GUI-usable={}", display, raw->size(),
                 std::count_if(raw->begin(), raw->end(),
                               [](const PlatformMode& m) { return m.usableForDesktopGUI; }));
    auto out = convert(*raw, true);
    // Some displays mark no mode usable for the desktop; their listing would otherwise be empty.
    if (out.empty())
        out = convert(*raw, false);
    return out;
}

std::vector<DisplayResolutionMode> DisplayModeManager::modes(DisplayNumber display) const {
    auto out = fastestPerSize(listed(display, true));
    sortModes(out);
    return out;
}

std::vector<DisplayResolutionMode> DisplayModeManager::allModes(DisplayNumber display) const {
    auto out = listed(display, false);
    sortModes(out);
    return out;
}

std::vector<DisplayResolutionMode> DisplayModeManager::preferredModes(DisplayNumber display) const {
    auto all = modes(display);
    if (all.empty())
        return {};
    if (windowServer_.isBuiltin(display)) {
        std::vector<DisplayResolutionMode> hiDPI;
        std::copy_if(all.begin(), all.end(), std::back_inserter(hiDPI),
                     [](const DisplayResolutionMode& m) { return m.isHiDPI; });
        auto& from = hiDPI.empty() ? all : hiDPI;
        from.resize(std::min<std::size_t>(from.size(), 5));
        return from;
    }
    auto widest = std::max_element(all.begin(), all.end(), [](auto& a, auto& b) {
                      return a.pixelWidth < b.pixelWidth;
                  })->pixelWidth;
    std::int64_t threshold = widest / 2;
    std::vector<DisplayResolutionMode> sharp;
    std::copy_if(all.begin(), all.end(), std::back_inserter(sharp),
                 [&](const DisplayResolutionMode& m) { return m.pixelWidth >= threshold; });
    if (sharp.size() < all.size())
        return sharp;
    // Nothing is blurry enough to leave out: offer the larger two thirds.
    all.resize(all.size() * 2 / 3);
    return all;
}

std::optional<DisplayResolutionMode> DisplayModeManager::currentMode(DisplayNumber display) const {
    auto current = windowServer_.currentDisplayMode(display);
    if (!current)
        return std::nullopt;
    auto all = allModes(display);
    // The platform's own mode when it is listed: 59.94 Hz beside 60 Hz is either one of them.
    if (current->handle != 0)
        for (const auto& m : all)
            if (m.cgMode.handle == current->handle && sameSize(m, *current))
                return m;
    // Otherwise the same size at the nearest rate; the first of equally near ones.
    const DisplayResolutionMode* nearest = nullptr;
    for (const auto& m : all)
        if (sameSize(m, *current) && (!nearest || std::abs(m.refreshRate - current->refreshRate) <
                                                      std::abs(nearest->refreshRate - current->refreshRate)))
            nearest = &m;
    if (!nearest)
        return std::nullopt;
    return *nearest;
}

bool DisplayModeManager::switchToMode(DisplayNumber display, const DisplayResolutionMode& mode) const {
    int result = 0;
    auto configuration = windowServer_.beginConfiguration(result);
    if (result != 0 || !configuration)
        return false;
    if (configuration->configureMode(display, mode.cgMode) != 0) {
        configuration->cancel();
        return false;
    }
    return configuration->completePermanently() == 0;
}

bool DisplayModeManager::stillNames(DisplayNumber display, const DisplayIdentity& identity) const {
    auto online = windowServer_.onlineDisplays();
    if (!online || std::find(online->begin(), online->end(), display) == online->end())
        return false;
    return windowServer_.vendorNumber(display) == identity.vendorID &&
           windowServer_.modelNumber(display) == identity.productID &&
           windowServer_.serialNumber(display) == identity.serial;
}

int DisplayModeManager::currentRotation(DisplayNumber display) const {
    double degrees = windowServer_.rotation(display);
    if (!std::isfinite(degrees) || std::abs(degrees) > 1e6)
        return 0;
    return static_cast<int>(degrees);
}

} // namespace brivio
