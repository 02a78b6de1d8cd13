#pragma once
// Calendar time for the few things that name a moment (copies of unreadable data); tests pass a fixed one.

#include <chrono>
#include <functional>
#include <string>

namespace brivio {

using StampClock = std::function<std::chrono::system_clock::time_point()>;

StampClock systemStampClock();

// "20261206T184500Z": sorts by time and is safe in file and key names.
std::string compactUtcStamp(std::chrono::system_clock::time_point time);

} // namespace brivio
