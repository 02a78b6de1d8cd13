#include "settings/StampClock.h"

#include <date/date.h>

namespace brivio {

StampClock systemStampClock() {
    return [] { return std::chrono::system_clock::now(); };
}

std::string compactUtcStamp(std::chrono::system_clock::time_point time) {
    return date::format("%Y%m%dT%H%M%SZ", date::floor<std::chrono::seconds>(time));
}

} // namespace brivio
