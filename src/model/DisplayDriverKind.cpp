#include "model/DisplayDriverKind.h"

#include <initializer_list>

namespace brivio {

std::string_view toString(DisplayDriverKind kind) {
    switch (kind) {
    case DisplayDriverKind::ddc:
        return "ddc";
    case DisplayDriverKind::native:
        return "native";
    case DisplayDriverKind::overlay:
        return "overlay";
    }
    return "ddc";
}

std::optional<DisplayDriverKind> parseDisplayDriverKind(std::string_view raw) {
    for (auto kind : {DisplayDriverKind::ddc, DisplayDriverKind::native, DisplayDriverKind::overlay})
        if (toString(kind) == raw)
            return kind;
    return std::nullopt;
}

} // namespace brivio
