#pragma once
// What a simulated desk's devices remember between runs, as real ones do: each monitor's VCP values
// and each backlight's level, kept in a small JSON file by stable key (a `--config` folder holds it).

#include <string>

namespace brivio {

class SimDesk;

// Applies a saved state to the desk; a missing file changes nothing. A file that cannot be read is
// reported by the returned message (empty on success) and otherwise ignored: the scenario's own
// values stand, as after a power cut.
std::string loadDeviceState(SimDesk& desk, const std::string& path);
// Writes the state atomically (a temporary file renamed over the old one). Throws std::runtime_error.
void saveDeviceState(SimDesk& desk, const std::string& path);

} // namespace brivio
