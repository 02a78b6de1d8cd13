#include "model/ManagedDisplay.h"

#include "model/HashCombine.h"

std::size_t
std::hash<brivio::ManagedDisplay>::operator()(const brivio::ManagedDisplay& display) const noexcept {
    std::size_t seed = 0;
    brivio::hashCombine(seed, display.identity);
    brivio::hashCombine(seed, display.isBuiltIn);
    brivio::hashCombine(seed, display.capabilities);
    return seed;
}
