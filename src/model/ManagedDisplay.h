#pragma once
// One display as the controller publishes it: who it is, whether it is the machine's own panel, and
// what its driver can do with it.

#include "model/DisplayCapabilities.h"
#include "model/DisplayIdentity.h"

#include <cstddef>

namespace brivio {

struct ManagedDisplay {
    DisplayIdentity identity;
    bool isBuiltIn = false;
    DisplayCapabilities capabilities; // replaced when probing finishes

    bool operator==(const ManagedDisplay&) const = default;
};

} // namespace brivio

template <> struct std::hash<brivio::ManagedDisplay> {
    std::size_t operator()(const brivio::ManagedDisplay& display) const noexcept;
};
