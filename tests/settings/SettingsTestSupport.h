#pragma once

#include "settings/KeyValueStore.h"
#include "settings/StampClock.h"

#include <date/date.h>
#include <fstream>
#include <sstream>
#include <string>

namespace brivio::testing {

inline std::chrono::system_clock::time_point fixedNow() {
    using namespace date;
    return sys_days{2026_y / December / 6} + std::chrono::hours{18} + std::chrono::minutes{45};
}
inline StampClock fixedClock() {
    return [] { return fixedNow(); };
}
inline constexpr const char* fixedStamp = "20261206T184500Z";

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
inline StoredData bytes(std::string_view s) {
    return StoredData(s.begin(), s.end());
}
inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace brivio::testing
