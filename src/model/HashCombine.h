#pragma once
// Folds field hashes into one value, field by field, so value records hash by all their fields.

#include <cstddef>
#include <functional>

namespace brivio {

template <typename T> void hashCombine(std::size_t& seed, const T& value) {
    seed ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2);
}

} // namespace brivio
