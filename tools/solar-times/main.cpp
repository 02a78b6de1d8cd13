// Prints sunrise and sunset for lines of "year month day latitude longitude" read from standard input:
// one line "sunrise sunset" in seconds since the epoch (UTC), or "none" when the sun neither rises
// nor sets. Used to compare the calculator with other sources.

#include "schedule/SolarCalculator.h"

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        brivio::CivilDate day;
        double lat = 0, lon = 0;
        if (!(in >> day.year >> day.month >> day.day >> lat >> lon)) {
            std::printf("invalid\n");
            continue;
        }
        auto times = brivio::SolarCalculator::compute(day, lat, lon);
        if (!times.sunrise || !times.sunset) {
            std::printf("none\n");
            continue;
        }
        auto seconds = [](brivio::WallTime t) {
            return std::chrono::duration<double>(t.time_since_epoch()).count();
        };
        std::printf("%.3f %.3f\n", seconds(*times.sunrise), seconds(*times.sunset));
    }
    return 0;
}
