#pragma once
// One display mode as the panel lists it: size in points and pixels, refresh rate, and the platform
// mode it came from (needed to switch to it). Two modes are the same mode when their ids are equal.

#include "platform/WindowServer.h"

#include <cstdint>
#include <string>

namespace brivio {

struct DisplayResolutionMode {
    std::int64_t width = 0;       // points
    std::int64_t height = 0;      // points
    std::int64_t pixelWidth = 0;  // physical pixels
    std::int64_t pixelHeight = 0; // physical pixels
    double refreshRate = 0;       // Hz; 0 when the platform reports none
    bool isHiDPI = false;         // more than one pixel per point across
    PlatformMode cgMode;

    static DisplayResolutionMode fromPlatform(const PlatformMode& mode);

    // "1920x1080_3840x2160@60": the rate truncated toward zero.
    std::string id() const;
    // "1512 × 982 HiDPI".
    std::string label() const;

    bool operator==(const DisplayResolutionMode& other) const { return id() == other.id(); }
};

// The refresh rate as a whole number, truncated toward zero; a rate that is not finite counts as 0 and
// one beyond the 64-bit range is held at its end, so every mode has an id.
std::int64_t wholeRefreshRate(double rate);

} // namespace brivio
