#pragma once
// Parsing of the command line's words: levels, display selectors, durations. Every failure names the
// bad word, so the message can be shown as it is.

#include "model/DisplayControl.h"
#include "model/ManagedDisplay.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace brivio::cli {

// A mistake in what the user typed: one line, exit status 2, nothing changed.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "0.5", "1", "50%" → a fraction in [0, 1]; anything else, or out of range, throws UsageError.
double parseLevel(const std::string& word);
// "brightness", "contrast" or "volume".
DisplayControl parseControl(const std::string& word);
// A stable key, a 1-based index in list order, or "all".
std::vector<ManagedDisplay> selectDisplays(const std::string& word,
                                           const std::vector<ManagedDisplay>& displays);
// One display: as above, but "all" is refused.
ManagedDisplay selectDisplay(const std::string& word, const std::vector<ManagedDisplay>& displays);
// "250ms", "90s", "90m", "8h", "8d" → milliseconds.
long long parseDurationMs(const std::string& word);
// Shortest text that reads back as the same double ("0.5", "0.3459").
std::string formatLevel(double value);

} // namespace brivio::cli
