#pragma once
// The command line's display-mode commands: list a display's modes, switch mode, turn the display,
// each change confirmed or reverted after ten seconds as in the panel.

#include "CommandSet.h"
#include "modes/DisplayResolutionMode.h"

#include <optional>
#include <string>
#include <vector>

namespace brivio::cli {

int listModes(Session& session, const std::string& display, bool all, bool json);
int applyMode(Session& session, const std::string& display, const std::string& mode, bool keep, bool json);
int applyRotation(Session& session, const std::string& display, const std::string& angle, bool keep,
                  bool json);

// "90" → 90 for the offered angles; anything else throws UsageError.
int parseAngle(const std::string& word);
// A 1-based index into `modes`, a label as listed ("1920 × 1080 HiDPI", "1920x1080 HiDPI") from
// `modes`, or an id ("1920x1080_3840x2160@60") from `allModes`. Throws UsageError.
DisplayResolutionMode selectMode(const std::string& word, const std::vector<DisplayResolutionMode>& modes,
                                 const std::vector<DisplayResolutionMode>& allModes);

void addModeCommands(CLI::App& app, CommandSet& commands);

} // namespace brivio::cli
