#pragma once
// The compatibility report: a plain-text description of the machine and of what was found on each
// display, and the mailto address that hands it to the user's mail program as an unsent message.

#include "model/ManagedDisplay.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brivio {

struct MachineFacts {
    std::string version = "1.0";
    std::string build = "?";
    // "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64"
    std::string osText;
    // "LENOVO 20XWCTO1WW", or a board's model where the firmware has no DMI tables.
    std::string model;
};

// The version and build shown to the user; empty texts give "1.0" and "?".
std::string versionText(std::string_view raw);
std::string buildText(std::string_view raw);

// The OS and model read below `root` (os-release, DMI, device tree, cpuinfo); the kernel release comes
// from uname unless `kernelRelease` is given. Version and build are left at their fallbacks.
MachineFacts readMachineFacts(const std::filesystem::path& root = "/",
                              const std::function<std::string()>& kernelRelease = {});

// Lines joined by a line feed, ending with the closing marker and one line feed.
std::string buildCompatibilityReport(const MachineFacts& facts, const std::vector<ManagedDisplay>& displays);

inline constexpr std::string_view compatibilityReportSubject = "Brivio Compatibility Report";

// "mailto:<address>?subject=...&body=..."; absent when the address is not a plain mail address or the
// report is not valid UTF-8.
std::optional<std::string> compatibilityMailURL(std::string_view supportAddress, std::string_view report);
// "mailto:<address>"; absent as above.
std::optional<std::string> contactMailURL(std::string_view supportAddress);

// Percent-encodes everything but the characters a query value may carry as they are; '&', '=', '+',
// '?' and '#' are encoded too, so a value cannot end its parameter early. Absent for invalid UTF-8.
std::optional<std::string> percentEncodeQueryValue(std::string_view text);

} // namespace brivio
