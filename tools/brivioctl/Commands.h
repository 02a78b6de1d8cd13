#pragma once
// The command line's commands. Each runs on an open session and returns the process exit status.

#include "Session.h"

#include <string>

namespace brivio::cli {

// Why a monitor that should answer DDC/CI did not (its channel did not open, or it did not answer),
// with where on this desktop, when nothing else can serve it; empty when nothing failed.
std::string ddcFailure(Session& session, const ManagedDisplay& display);

int listDisplays(Session& session, bool json);
int getLevel(Session& session, const std::string& display, const std::string& control, bool json);
int setLevel(Session& session, const std::string& display, const std::string& control,
             const std::string& value);

} // namespace brivio::cli
