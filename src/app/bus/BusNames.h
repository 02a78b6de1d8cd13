#pragma once
// The agent's names on the session bus: the bus name it owns, its object, its interfaces and the
// names of the errors it answers with. The project's reverse-DNS name is the root of them all.

#include <string>

namespace brivio::bus {

inline constexpr const char* serviceName = "dev.brivio.Brivio";
inline constexpr const char* objectPath = "/dev/brivio/Brivio";

inline constexpr const char* agentInterface = "dev.brivio.Brivio.Agent1";
inline constexpr const char* displaysInterface = "dev.brivio.Brivio.Displays1";
inline constexpr const char* modesInterface = "dev.brivio.Brivio.Modes1";
inline constexpr const char* automationInterface = "dev.brivio.Brivio.Automation1";

namespace errors {
// The display word names no connected display.
inline constexpr const char* unknownDisplay = "dev.brivio.Brivio.Error.UnknownDisplay";
// The display has no such control (contrast of a panel, input select without DDC/CI, ...).
inline constexpr const char* unsupported = "dev.brivio.Brivio.Error.Unsupported";
// A level, angle, input or offset outside what is allowed.
inline constexpr const char* outOfRange = "dev.brivio.Brivio.Error.OutOfRange";
// An argument that is not one of the words or forms the member takes.
inline constexpr const char* invalidArgument = "dev.brivio.Brivio.Error.InvalidArgument";
// A preset, schedule or mode that does not exist.
inline constexpr const char* notFound = "dev.brivio.Brivio.Error.NotFound";
// Not done on purpose: power off without confirmation, a built-in preset deleted, a list full.
inline constexpr const char* refused = "dev.brivio.Brivio.Error.Refused";
// Nothing known yet (a level never read, a monitor that did not answer).
inline constexpr const char* unknownValue = "dev.brivio.Brivio.Error.UnknownValue";
// The display or the desktop did not take the request.
inline constexpr const char* failed = "dev.brivio.Brivio.Error.Failed";
} // namespace errors

// The name an agent on a simulated desk owns, so that it runs beside the one on the real displays and
// the command line on the same scenario finds it: "dev.brivio.Brivio.Sim.desk" for ".../desk.json".
std::string simulatedServiceName(const std::string& scenarioPath);

} // namespace brivio::bus
