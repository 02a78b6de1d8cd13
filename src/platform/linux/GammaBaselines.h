#pragma once
// The gamma ramps each output had before this program first changed them, kept in a file while they
// may be changed, so that the next start can put them back after a crash left a display dimmed.
// Also the resampling between a CRTC's ramps and the 256-entry tables the gamma dimmer works on.

#include "platform/WindowServer.h"
#include "platform/linux/RandrScreen.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace brivio {

// Linear interpolation both ways; values clamped to 0..1 (and 0..65535).
GammaTables tablesFromRamp(const GammaRamp& ramp);
GammaRamp rampFromTables(const GammaTables& tables, std::size_t size);

// $XDG_STATE_HOME/brivio, else ~/.local/state/brivio; absent without either variable.
std::optional<std::filesystem::path> defaultStateDir();

class GammaBaselines {
public:
    // An empty path keeps the ramps in memory only. A missing or damaged file holds nothing.
    explicit GammaBaselines(std::filesystem::path file);

    // The ramp stored under `key`; else `current` becomes it and the file is written at once.
    const GammaRamp& remember(const std::string& key, const GammaRamp& current);
    const GammaRamp* find(const std::string& key) const;
    // After every output is back at its baseline: nothing needs restoring, and the file goes.
    void clear();
    bool empty() const { return ramps_.empty(); }

private:
    void save() const;

    std::filesystem::path file_;
    std::map<std::string, GammaRamp> ramps_;
};

} // namespace brivio
