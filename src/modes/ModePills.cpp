#include "modes/ModePills.h"

#include "modes/RotationChain.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace brivio {

namespace {

bool sameSize(const DisplayResolutionMode& a, const DisplayResolutionMode& b) {
    return a.width == b.width && a.height == b.height && a.pixelWidth == b.pixelWidth;
}

std::string rateText(double rate) {
    if (rate == std::floor(rate))
        return fmt::format("{:.0f} Hz", rate);
    return fmt::format("{:.1f} Hz", rate);
}

} // namespace

ModeList refreshOptions(const ModeList& allModes, const CurrentMode& current) {
    if (!current)
        return {};
    ModeList out;
    std::copy_if(
        allModes.begin(), allModes.end(), std::back_inserter(out), [&](const DisplayResolutionMode& m) {
            return m.width == current->width && m.height == current->height && m.isHiDPI == current->isHiDPI;
        });
    std::stable_sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.refreshRate > b.refreshRate; });
    return out;
}

bool hasBothScaleKinds(const ModeList& modes) {
    auto hiDPI = [](const DisplayResolutionMode& m) { return m.isHiDPI; };
    return std::any_of(modes.begin(), modes.end(), hiDPI) && !std::all_of(modes.begin(), modes.end(), hiDPI);
}

std::optional<DisplayResolutionMode> hiDPIToggleTarget(const ModeList& modes, const CurrentMode& current) {
    std::int64_t target = current ? current->width : modes.empty() ? 0 : modes.front().width;
    bool currentIsHiDPI = current && current->isHiDPI;
    ModeList candidates;
    std::copy_if(modes.begin(), modes.end(), std::back_inserter(candidates),
                 [&](const DisplayResolutionMode& m) { return m.isHiDPI != currentIsHiDPI; });
    std::stable_sort(candidates.begin(), candidates.end(), [&](auto& a, auto& b) {
        auto da = std::abs(a.width - target), db = std::abs(b.width - target);
        return da != db ? da < db : a.refreshRate > b.refreshRate;
    });
    if (candidates.empty())
        return std::nullopt;
    return candidates.front();
}

std::string refreshRatePillText(const CurrentMode& current) {
    if (!current || !(current->refreshRate > 0))
        return "Hz";
    return rateText(current->refreshRate);
}

std::string refreshRateRowTitle(double refreshRate) {
    if (!(refreshRate > 0))
        return "\u2014";
    return rateText(refreshRate);
}

std::string scaleButtonText(const CurrentMode& current) {
    return current && current->isHiDPI ? "HiDPI" : "Standard";
}

std::string rotationText(int angle) {
    return fmt::format("{}\u00b0", angle);
}

std::vector<DropdownItem> resolutionRows(const ModeList& modes, const CurrentMode& current,
                                         ChooseMode choose) {
    std::vector<DropdownItem> rows;
    for (const auto& m : modes)
        rows.push_back({m.label(), std::nullopt, current && sameSize(m, *current), false, [choose, m] {
                            if (choose)
                                choose(m);
                        }});
    return rows;
}

std::vector<DropdownItem> refreshRateRows(const ModeList& options, const CurrentMode& current,
                                          ChooseMode choose) {
    std::vector<DropdownItem> rows;
    for (const auto& m : options)
        rows.push_back({refreshRateRowTitle(m.refreshRate), std::nullopt, current && m.id() == current->id(),
                        false, [choose, m] {
                            if (choose)
                                choose(m);
                        }});
    return rows;
}

std::vector<DropdownItem> rotationRows(int currentRotation, std::function<void(int)> choose) {
    std::vector<DropdownItem> rows;
    for (int angle : rotationAngles)
        rows.push_back({rotationText(angle), std::nullopt, angle == currentRotation, false, [choose, angle] {
                            if (choose)
                                choose(angle);
                        }});
    return rows;
}

RefreshRatePill refreshRatePill(const ModeList& options, const CurrentMode& current) {
    RefreshRatePill pill;
    pill.text = refreshRatePillText(current);
    pill.enabled = options.size() >= 2;
    pill.opacity = pill.enabled ? 1.0 : 0.35;
    if (!pill.enabled)
        pill.helpText = "Only one refresh rate available for this resolution";
    return pill;
}

double dropdownWidth(const std::vector<DropdownItem>& rows, double minimum,
                     const std::function<double(std::string_view)>& textWidth) {
    std::optional<double> widest;
    for (const auto& row : rows)
        if (!row.isSeparator)
            widest = std::max(widest.value_or(0), std::ceil(textWidth(row.title)));
    double width = widest ? *widest + 72 : 152;
    return std::max(std::clamp(width, 110.0, 260.0), minimum);
}

} // namespace brivio
