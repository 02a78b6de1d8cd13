#pragma once
// Where the running desktop agent listens, and a one-line request to it. The command line uses it to
// step brightness through the agent (on Wayland, where the agent cannot grab keys, the compositor's key
// bindings run `brivioctl step up`), so that software-dimmed displays step too.

#include <string>
#include <string_view>

namespace brivio {

// $XDG_RUNTIME_DIR/brivio.sock, or brivio-<uid>.sock in the temporary folder without a runtime folder.
std::string agentSocketPath();

// Sends `request` and a line feed to the agent at `path` and waits until it closes the connection.
// False when no agent listens there.
bool sendToAgent(std::string_view request, const std::string& path = agentSocketPath());

// The requests the agent answers.
inline constexpr std::string_view showPanelRequest = "show-panel";
inline constexpr std::string_view stepUpRequest = "step up";
inline constexpr std::string_view stepDownRequest = "step down";

} // namespace brivio
