#pragma once
// What the mode pills of a display's control strip offer and read, computed from the listed modes and
// the current one: refresh-rate options, the HiDPI/Standard switch target, pill texts, dropdown rows
// and the dropdown width.

#include "modes/DisplayResolutionMode.h"
#include "modes/DropdownItem.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brivio {

using ModeList = std::vector<DisplayResolutionMode>;
using CurrentMode = std::optional<DisplayResolutionMode>;
using ChooseMode = std::function<void(const DisplayResolutionMode&)>;

// The entries of `allModes` of the current size and kind, fastest first; empty without a current mode.
ModeList refreshOptions(const ModeList& allModes, const CurrentMode& current);
// True when `modes` holds both HiDPI and standard modes.
bool hasBothScaleKinds(const ModeList& modes);
// The mode the HiDPI/Standard button switches to: of the other kind, nearest in width, then fastest.
std::optional<DisplayResolutionMode> hiDPIToggleTarget(const ModeList& modes, const CurrentMode& current);

// "60 Hz", "59.9 Hz", or "Hz" with no current mode or no rate.
std::string refreshRatePillText(const CurrentMode& current);
// As the pill, but a missing rate reads "—".
std::string refreshRateRowTitle(double refreshRate);
// "HiDPI" for a current HiDPI mode, else "Standard" (the button's symbol is "display").
std::string scaleButtonText(const CurrentMode& current);
// "90°".
std::string rotationText(int angle);

// One row per mode, titled with its label, ticked for the current size (rate and pixel height aside).
std::vector<DropdownItem> resolutionRows(const ModeList& modes, const CurrentMode& current,
                                         ChooseMode choose);
// One row per option, ticked for the current mode itself.
std::vector<DropdownItem> refreshRateRows(const ModeList& options, const CurrentMode& current,
                                          ChooseMode choose);
std::vector<DropdownItem> rotationRows(int currentRotation, std::function<void(int)> choose);

// The refresh-rate pill: disabled and faded when there is nothing to choose between.
struct RefreshRatePill {
    std::string text;
    bool enabled = false;
    double opacity = 1.0;
    std::optional<std::string> helpText;
};
RefreshRatePill refreshRatePill(const ModeList& options, const CurrentMode& current);

// Smallest widths of the dropdowns, in points.
namespace DropdownMinimumWidth {
constexpr double resolution = 175;
constexpr double refreshRate = 110;
constexpr double rotation = 110;
constexpr double inputSource = 175;
} // namespace DropdownMinimumWidth

// The widest title (separators skipped, width rounded up) plus 72, or 152 with no rows; held within
// 110..260 and then raised to `minimum`. `textWidth` measures a title in the 13-point system font.
double dropdownWidth(const std::vector<DropdownItem>& rows, double minimum,
                     const std::function<double(std::string_view)>& textWidth);

} // namespace brivio
