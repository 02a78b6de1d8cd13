#pragma once
// The commands about this machine's hardware: an EDID as the parser reads it, and a check of every
// connector's bus with what to do when it cannot be opened.

#include <filesystem>
#include <iosfwd>
#include <string>

namespace brivio::cli {

// `source` is a file or a connector name ("card0-HDMI-A-1" or "HDMI-A-1"); UsageError when it is
// neither, or no EDID.
int printEdid(const std::string& source, const std::filesystem::path& sysfsRoot, bool json,
              std::ostream& out);
int runDoctor(const std::filesystem::path& sysfsRoot, const std::filesystem::path& devDir, bool json,
              std::ostream& out);

} // namespace brivio::cli
