#pragma once
// The command line's commands. Each runs on an open session and returns the process exit status.

#include "Session.h"

#include <string>

namespace brivio::cli {

int listDisplays(Session& session, bool json);
int getLevel(Session& session, const std::string& display, const std::string& control, bool json);
int setLevel(Session& session, const std::string& display, const std::string& control,
             const std::string& value);

} // namespace brivio::cli
