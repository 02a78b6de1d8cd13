#pragma once
// Which kind of brightness driver serves a display. Raw strings are the case names.

#include <optional>
#include <string_view>

namespace brivio {

enum class DisplayDriverKind { ddc, native, overlay };

std::string_view toString(DisplayDriverKind kind);
std::optional<DisplayDriverKind> parseDisplayDriverKind(std::string_view raw);

} // namespace brivio
