#pragma once
// Shell completions for brivioctl, written from its parser's tree: commands, options, the values of
// options that take files or folders, fixed words, and the displays (keys and numbers from 'list' on a
// simulated desk, numbers of the connected connectors on this desktop: both cost next to nothing).

#include "CommandTree.h"

#include <string>
#include <vector>

namespace brivio::manual {

std::string bashCompletion(const std::vector<CommandInfo>& commands);
std::string zshCompletion(const std::vector<CommandInfo>& commands);
std::string fishCompletion(const std::vector<CommandInfo>& commands);

} // namespace brivio::manual
