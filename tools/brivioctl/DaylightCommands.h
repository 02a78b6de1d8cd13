#pragma once
// The daylight commands: today's sunrise and sunset, the stored position, the schedules and the solar
// curve. Each runs on an open session (or, in this file, through the agent) and returns the process exit
// status; typing mistakes throw UsageError before anything is stored.

#include "Session.h"

#include <optional>
#include <string>
#include <vector>

namespace brivio::cli {

int showSun(Session& session, const std::optional<std::string>& lat, const std::optional<std::string>& lon,
            const std::optional<std::string>& date, bool json);
int locationCommand(Session& session, const std::vector<std::string>& words, bool json);
int scheduleCommand(Session& session, const std::vector<std::string>& words, bool json);
int solarCommand(Session& session, const std::vector<std::string>& words, bool json);

} // namespace brivio::cli
