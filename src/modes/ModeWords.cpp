#include "modes/ModeWords.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace brivio {

namespace {

// Labels as typed: "×" or "x" between the numbers, spaces and case ignored.
std::string normalizedModeLabel(std::string_view text) {
    constexpr std::string_view times = "\u00d7";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, times.size()) == times) {
            out += 'x';
            i += times.size() - 1;
        } else if (text[i] != ' ') {
            out += char(std::tolower(static_cast<unsigned char>(text[i])));
        }
    }
    return out;
}

} // namespace

std::optional<DisplayResolutionMode> modeNamed(const std::string& word,
                                               const std::vector<DisplayResolutionMode>& modes,
                                               const std::vector<DisplayResolutionMode>& allModes) {
    bool digits = !word.empty() &&
                  std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isdigit(c); });
    if (digits) {
        auto index = word.size() > 4 ? 0 : std::stoul(word);
        if (index < 1 || index > modes.size())
            return std::nullopt;
        return modes[index - 1];
    }
    for (const auto& m : allModes)
        if (m.id() == word)
            return m;
    auto wanted = normalizedModeLabel(word);
    for (const auto& m : modes)
        if (normalizedModeLabel(m.label()) == wanted)
            return m;
    return std::nullopt;
}

} // namespace brivio
