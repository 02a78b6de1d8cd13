#include "settings/PresetEditing.h"

#include "settings/Level.h"

#include <array>

namespace brivio {

namespace {

// UTF-8 forms of the Unicode space separators and line breaks beyond ASCII.
constexpr std::array<std::string_view, 20> unicodeSpaces{
    "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
    "\u2007", "\u2008", "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000", "\uFEFF"};

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::size_t leadingSpace(std::string_view s) {
    if (s.empty())
        return 0;
    if (isAsciiSpace(s.front()))
        return 1;
    for (auto space : unicodeSpaces)
        if (s.starts_with(space))
            return space.size();
    return 0;
}

std::size_t trailingSpace(std::string_view s) {
    if (s.empty())
        return 0;
    if (isAsciiSpace(s.back()))
        return 1;
    for (auto space : unicodeSpaces)
        if (s.ends_with(space))
            return space.size();
    return 0;
}

std::optional<double> clampOptional(std::optional<double> v) {
    return v ? std::optional<double>(clampLevel(*v)) : std::nullopt;
}

} // namespace

std::string trimWhitespace(std::string_view text) {
    while (auto n = leadingSpace(text))
        text.remove_prefix(n);
    while (auto n = trailingSpace(text))
        text.remove_suffix(n);
    return std::string(text);
}

std::optional<BrightnessPreset> makeNewPreset(std::string_view name, double brightness,
                                              std::optional<double> contrast, std::optional<double> volume) {
    auto trimmed = trimWhitespace(name);
    if (trimmed.empty())
        return std::nullopt;
    return BrightnessPreset{Uuid::random(),          std::move(trimmed),    clampLevel(brightness),
                            clampOptional(contrast), clampOptional(volume), std::nullopt};
}

BrightnessPreset editPreset(const BrightnessPreset& stored, std::string_view name, double brightness,
                            std::optional<double> contrast, std::optional<double> volume) {
    BrightnessPreset edited = stored;
    if (auto trimmed = trimWhitespace(name); !trimmed.empty())
        edited.name = std::move(trimmed);
    edited.brightness = clampLevel(brightness);
    if (contrast)
        edited.contrast = clampLevel(*contrast);
    if (volume)
        edited.volume = clampLevel(*volume);
    return edited;
}

} // namespace brivio
