#include "platform/Registry.h"

#include <cmath>
#include <limits>

namespace brivio {

std::optional<std::uint32_t> PropertyValue::asUInt32() const {
    if (auto i = std::get_if<std::int64_t>(&value)) {
        if (*i < 0 || *i > std::numeric_limits<std::uint32_t>::max())
            return std::nullopt;
        return static_cast<std::uint32_t>(*i);
    }
    if (auto d = std::get_if<double>(&value)) {
        if (!std::isfinite(*d) || *d < 0 || *d > std::numeric_limits<std::uint32_t>::max() ||
            std::trunc(*d) != *d)
            return std::nullopt;
        return static_cast<std::uint32_t>(*d);
    }
    return std::nullopt;
}

} // namespace brivio
