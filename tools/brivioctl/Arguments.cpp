#include "Arguments.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fmt/format.h>

namespace brivio::cli {

namespace {

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<long long> parseIndex(const std::string& text) {
    long long v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

} // namespace

double parseLevel(const std::string& word) {
    bool percent = !word.empty() && word.back() == '%';
    auto number = parseNumber(percent ? word.substr(0, word.size() - 1) : word);
    if (!number)
        throw UsageError(
            fmt::format("'{}' is not a level: use a fraction from 0 to 1 or a percentage like 50%", word));
    double v = percent ? *number / 100.0 : *number;
    if (v < 0 || v > 1)
        throw UsageError(fmt::format("'{}' is out of range: levels go from 0 to 1 (0% to 100%)", word));
    return v;
}

DisplayControl parseControl(const std::string& word) {
    // Mute is no level.
    if (auto control = parseDisplayControl(word); control && *control != DisplayControl::mute)
        return *control;
    throw UsageError(fmt::format("'{}' is not a control: use brightness, contrast or volume", word));
}

std::vector<ManagedDisplay> selectDisplays(const std::string& word,
                                           const std::vector<ManagedDisplay>& displays) {
    if (word == "all")
        return displays;
    if (auto index = parseIndex(word)) {
        if (*index >= 1 && static_cast<std::size_t>(*index) <= displays.size())
            return {displays[*index - 1]};
        throw UsageError(
            fmt::format("'{}' is not a display: there are {} (see 'brivioctl list')", word, displays.size()));
    }
    for (auto& d : displays)
        if (d.identity.stableKey() == word)
            return {d};
    throw UsageError(
        fmt::format("'{}' is not a display: give a key or number from 'brivioctl list', or all", word));
}

ManagedDisplay selectDisplay(const std::string& word, const std::vector<ManagedDisplay>& displays) {
    if (word == "all")
        throw UsageError("'all' cannot be used here: name one display");
    return selectDisplays(word, displays).front();
}

long long parseDurationMs(const std::string& word) {
    static const std::pair<const char*, long long> units[] = {
        {"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}, {"d", 86'400'000}};
    for (auto& [suffix, factor] : units) {
        std::string s = suffix;
        if (word.size() > s.size() && word.compare(word.size() - s.size(), s.size(), s) == 0) {
            auto number = parseIndex(word.substr(0, word.size() - s.size()));
            if (number && *number >= 0 && *number <= 366LL * 86'400'000 / factor)
                return *number * factor;
            break;
        }
    }
    throw UsageError(
        fmt::format("'{}' is not a duration: use a whole number with ms, s, m, h or d (e.g. 90m)", word));
}

std::string formatLevel(double value) {
    return fmt::format("{}", value);
}

} // namespace brivio::cli
