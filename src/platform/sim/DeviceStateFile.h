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

// Opens a desk's memory in a settings folder, one state file per scenario so that two scenarios
// sharing a folder do not mix: brings the devices' values back and keeps the gamma tables on disk
// from now on, so that a run killed while dimmed leaves them for the next start to put back.
// Returns the device-state path (for saveDeviceState); `problem` gets a file that could not be read.
std::string openDeskState(SimDesk& desk, const std::string& directory, const std::string& scenarioFile,
                          std::string& problem);

} // namespace brivio
