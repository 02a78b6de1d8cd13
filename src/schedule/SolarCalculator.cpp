#include "schedule/SolarCalculator.h"

#include <chrono>
#include <cmath>
#include <date/date.h>

namespace brivio {

namespace {

constexpr double pi = 3.141592653589793;
// cos(90.833 degrees): the sun's upper limb on the horizon, with refraction.
constexpr double cosZenith = -0.01453808050249674;

double rad(double degrees) {
    return degrees * pi / 180.0;
}
double deg(double radians) {
    return radians * 180.0 / pi;
}

} // namespace

double SolarCalculator::julianDay(int year, int month, int day) {
    if (month <= 2) {
        year -= 1;
        month += 12;
    }
    int b = 2 - year / 100 + year / 400;
    return std::floor(365.25 * (year + 4716)) + std::floor(30.6001 * (month + 1)) + day + b - 1524.5;
}

SolarTimes SolarCalculator::compute(WallTime date, double latitude, double longitude,
                                    const std::string& timeZone) {
    return compute(date, latitude, longitude, CivilCalendar(timeZone));
}

SolarTimes SolarCalculator::compute(WallTime date, double latitude, double longitude,
                                    const CivilCalendar& calendar) {
    auto civil = calendar.dateOf(date);
    if (!civil)
        return {};
    return compute(*civil, latitude, longitude);
}

SolarTimes SolarCalculator::compute(const CivilDate& day, double latitude, double longitude) {
    if (!CivilCalendar::isValid(day) || !(std::fabs(latitude) <= 90) || !(std::fabs(longitude) <= 180))
        return {};

    double jd = julianDay(day.year, day.month, day.day);
    double t = (jd - 2451545.0) / 36525.0;

    double l0 = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    double m = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    double mrad = rad(m);
    double c = std::sin(mrad) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
               std::sin(2 * mrad) * (0.019993 - 0.000101 * t) + std::sin(3 * mrad) * 0.000289;
    double omega = 125.04 - 1934.136 * t;
    double lambda = l0 + c - 0.00569 - 0.00478 * std::sin(rad(omega));
    double epsilon0 = 23 + (26 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60) / 60;
    double epsilon = epsilon0 + 0.00256 * std::cos(rad(omega));
    double delta = std::asin(std::sin(rad(epsilon)) * std::sin(rad(lambda)));

    double cosH =
        (cosZenith - std::sin(rad(latitude)) * std::sin(delta)) / (std::cos(rad(latitude)) * std::cos(delta));
    // NaN (a latitude beyond the poles) fails this test too.
    if (!(std::fabs(cosH) <= 1))
        return {};

    double y = std::pow(std::tan(rad(epsilon) / 2), 2);
    double e = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    double l0rad = rad(l0);
    double eot = 4 * deg(y * std::sin(2 * l0rad) - 2 * e * std::sin(mrad) +
                         4 * e * y * std::sin(mrad) * std::cos(2 * l0rad) -
                         0.5 * y * y * std::sin(4 * l0rad) - 1.25 * e * e * std::sin(2 * mrad));

    double noon = 720.0 - 4 * longitude - eot;
    double halfDay = 4 * deg(std::acos(cosH));

    auto midnight = WallTime{date::sys_days{date::year{day.year} / day.month / day.day}};
    auto at = [&](double minutes) {
        return midnight + std::chrono::round<WallTime::duration>(std::chrono::duration<double>(minutes * 60));
    };
    return {at(noon - halfDay), at(noon + halfDay)};
}

} // namespace brivio
