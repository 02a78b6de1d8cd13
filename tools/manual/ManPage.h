#pragma once
// Manual pages in roff (man macros) for the agent, from its reference table, and for the command
// line, from its parser's tree and its reference table.

#include "CommandTree.h"
#include "app/ProgramReference.h"

#include <string>

namespace brivio::manual {

// Text as roff: backslashes and minus signs escaped, a leading dot or quote neutralised, characters
// beyond ASCII as named glyphs, so that man prints exactly what was written.
std::string roffText(const std::string& text);

std::string agentManPage(const ProgramReference& reference, const std::string& version);
std::string commandLineManPage(const std::vector<CommandInfo>& commands, const ProgramReference& reference,
                               const std::string& version);

} // namespace brivio::manual
