#include "DaylightCommands.h"

#include "Arguments.h"
#include "CommandSet.h"
#include "schedule/CivilCalendar.h"
#include "schedule/LocationManager.h"
#include "schedule/SolarCalculator.h"
#include "schedule/SolarCurve.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <date/date.h>
#include <fmt/format.h>
#include <iostream>

namespace brivio::cli {

namespace {

// Plain decimal numbers only: no hexadecimal, no "nan" or "inf", no surrounding blanks.
std::optional<double> decimal(const std::string& word) {
    double v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v, std::chars_format::general);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<long long> whole(const std::string& word) {
    long long v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return v;
}

double parseLatitude(const std::string& word) {
    auto v = decimal(word);
    if (!v || std::fabs(*v) > 90)
        throw UsageError(fmt::format("'{}' is not a latitude: use degrees from -90 to 90", word));
    return *v;
}

double parseLongitude(const std::string& word) {
    auto v = decimal(word);
    if (!v || std::fabs(*v) > 180)
        throw UsageError(fmt::format("'{}' is not a longitude: use degrees from -180 to 180", word));
    return *v;
}

CivilDate parseDate(const std::string& word) {
    auto field = [&](std::size_t at, std::size_t length) { return whole(word.substr(at, length)); };
    bool shaped = word.size() == 10 && word[4] == '-' && word[7] == '-' &&
                  std::all_of(word.begin(), word.end(), [](char c) { return c == '-' || std::isdigit(c); });
    if (shaped) {
        CivilDate d{int(*field(0, 4)), int(*field(5, 2)), int(*field(8, 2))};
        if (CivilCalendar::isValid(d))
            return d;
    }
    throw UsageError(fmt::format("'{}' is not a date: use YYYY-MM-DD, for example 2024-03-20", word));
}

std::string instantText(WallTime t) {
    return date::format("%FT%TZ", std::chrono::round<std::chrono::seconds>(t));
}

std::optional<GeoCoordinate> storedPosition(const BrivioPreferences& prefs) {
    double lat = prefs.storedLatitude(), lon = prefs.storedLongitude();
    if ((lat == 0 && lon == 0) || !LocationManager::isValidCoordinate(lat, lon))
        return std::nullopt;
    return GeoCoordinate{lat, lon};
}

// 1-based position in a list of `size`.
std::size_t parseNumberIn(const std::string& word, std::size_t size, const char* what) {
    auto n = whole(word);
    if (!n || *n < 1 || std::size_t(*n) > size)
        throw UsageError(size == 0 ? fmt::format("'{}': there are no {}s", word, what)
                                   : fmt::format("'{}' is not a {} number: use 1 to {}", word, what, size));
    return std::size_t(*n - 1);
}

void expectWords(const std::vector<std::string>& words, std::size_t count, const char* usage) {
    if (words.size() != count)
        throw UsageError(fmt::format("'{}' takes {}", words.empty() ? std::string() : words.front(), usage));
}

// "08:00", "sunrise", "sunset+15", "sunrise-30".
ScheduleTrigger parseTrigger(const std::string& word) {
    for (auto [name, kind] : {std::pair{"sunrise", ScheduleTriggerKind::sunrise},
                              std::pair{"sunset", ScheduleTriggerKind::sunset}}) {
        std::string prefix = name;
        if (word.rfind(prefix, 0) != 0)
            continue;
        std::string rest = word.substr(prefix.size());
        int offset = 0;
        if (!rest.empty()) {
            auto n = (rest[0] == '+' || rest[0] == '-') ? whole(rest.substr(1)) : std::nullopt;
            // A day either way is as far as an offset can usefully reach.
            if (!n || *n > 1440)
                throw UsageError(fmt::format("'{}' is not a moment: use HH:MM, {}, {}+MIN or {}-MIN", word,
                                             name, name, name));
            offset = int(rest[0] == '-' ? -*n : *n);
        }
        return kind == ScheduleTriggerKind::sunrise ? ScheduleTrigger::sunrise(offset)
                                                    : ScheduleTrigger::sunset(offset);
    }
    auto colon = word.find(':');
    if (colon != std::string::npos && colon >= 1 && colon <= 2 && word.size() == colon + 3) {
        auto h = whole(word.substr(0, colon)), m = whole(word.substr(colon + 1));
        if (h && m && *h >= 0 && *h <= 23 && *m >= 0 && *m <= 59)
            return ScheduleTrigger::clockTime(int(*h), int(*m));
    }
    throw UsageError(
        fmt::format("'{}' is not a moment: use HH:MM, sunrise, sunset, sunrise+MIN or sunset-MIN", word));
}

// "daily", "weekdays", "weekend", or days joined by commas: sun..sat or 0..6.
std::vector<int> parseDays(const std::string& word) {
    if (word == "daily" || word == "all")
        return allWeekdays();
    if (word == "weekdays")
        return {1, 2, 3, 4, 5};
    if (word == "weekend")
        return {0, 6};
    static const char* names[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
    std::vector<int> days;
    std::size_t start = 0;
    while (start <= word.size()) {
        std::size_t end = std::min(word.find(',', start), word.size());
        std::string part = word.substr(start, end - start);
        auto n = whole(part);
        auto named = std::find(std::begin(names), std::end(names), part);
        if (n && *n >= 0 && *n <= 6)
            days.push_back(int(*n));
        else if (named != std::end(names))
            days.push_back(int(named - std::begin(names)));
        else
            throw UsageError(fmt::format(
                "'{}' is not a list of days: use daily, weekdays, weekend, or days like mon,wed,fri (or 0-6, "
                "0 is Sunday)",
                word));
        start = end + 1;
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

BrightnessPreset findPreset(const BrivioPreferences& prefs, const std::string& word) {
    auto presets = prefs.globalPresets();
    for (const auto& p : presets)
        if (p.name == word)
            return p;
    if (auto n = whole(word); n && *n >= 1 && std::size_t(*n) <= presets.size())
        return presets[std::size_t(*n - 1)];
    std::string names;
    for (const auto& p : presets)
        names += (names.empty() ? "" : ", ") + p.name;
    throw UsageError(fmt::format("'{}' is not a preset: use a name ({}) or its number", word, names));
}

int listSchedules(const BrivioPreferences& prefs) {
    const auto& list = prefs.scheduleList();
    if (list.empty()) {
        std::cout << "No schedules.\n";
        return 0;
    }
    auto presets = prefs.globalPresets();
    int index = 1;
    for (const auto& s : list) {
        auto preset = std::find_if(presets.begin(), presets.end(),
                                   [&](const BrightnessPreset& p) { return p.id == s.presetID; });
        std::string presetName = preset == presets.end() ? "(preset deleted)" : preset->name;
        std::cout << fmt::format("{}  {:<3}  {:<16} {:<14} {}\n", index++, s.isEnabled ? "on" : "off",
                                 s.trigger.label(), s.daysSummary().empty() ? "(no days)" : s.daysSummary(),
                                 presetName);
    }
    return 0;
}

// Turning the curve on, or new levels while it is on: the level for now at once, through the schedule
// engine as the panel does.
void applyCurveNow(Session& session) {
    auto& prefs = session.preferences();
    WallTime now = session.controller().platform().clock.now();
    ScheduleEngine* engine = session.controller().scheduleEngine();
    if (!storedPosition(prefs)) {
        std::cout << "no position stored: the curve applies once one is known (brivioctl location set)\n";
        return;
    }
    if (!engine) {
        std::cout << "no displays: nothing applied\n";
        return;
    }
    if (SolarCurve::isPaused(now, prefs.solarPausedUntil())) {
        std::cout << "paused until " << instantText(*prefs.solarPausedUntil()) << ": nothing applied\n";
        return;
    }
    auto times = engine->todaySolarTimes(now);
    auto level =
        times ? SolarCurve::level(now, *times, prefs.solarNightLevel(), prefs.solarDayLevel()) : std::nullopt;
    if (!level) {
        std::cout << "the sun does not rise or set today here: nothing applied\n";
        return;
    }
    engine->applySolarCurve(now);
    session.settle();
    std::cout << "brightness " << formatLevel(*level) << "\n";
}

} // namespace

int showSun(Session& session, const std::optional<std::string>& lat, const std::optional<std::string>& lon,
            const std::optional<std::string>& dateWord) {
    if (lat.has_value() != lon.has_value())
        throw UsageError(
            fmt::format("'{}' needs {} as well", lat ? "--lat" : "--lon", lat ? "--lon" : "--lat"));
    std::optional<GeoCoordinate> position;
    if (lat)
        position = GeoCoordinate{parseLatitude(*lat), parseLongitude(*lon)};
    std::optional<CivilDate> day;
    if (dateWord)
        day = parseDate(*dateWord);
    if (!position)
        position = storedPosition(session.preferences());
    if (!position)
        throw UsageError("'sun' needs a position: give --lat and --lon, or store one with 'location set'");
    if (!day) {
        auto& clock = session.controller().platform().clock;
        day = CivilCalendar(clock.timeZone()).dateOf(clock.now());
        if (!day) {
            std::cerr << fmt::format("brivioctl: the time zone '{}' is unknown\n", clock.timeZone());
            return 1;
        }
    }
    auto times = SolarCalculator::compute(*day, position->latitude, position->longitude);
    std::cout << "sunrise " << (times.sunrise ? instantText(*times.sunrise) : "none") << "\n";
    std::cout << "sunset " << (times.sunset ? instantText(*times.sunset) : "none") << "\n";
    return 0;
}

int locationCommand(Session& session, const std::vector<std::string>& words) {
    auto& prefs = session.preferences();
    if (words.empty()) {
        auto position = storedPosition(prefs);
        if (position)
            std::cout << fmt::format("location {} {}\n", position->latitude, position->longitude);
        else
            std::cout << "location none\n";
        return 0;
    }
    if (words[0] != "set")
        throw UsageError(fmt::format(
            "'{}' is not a location command: use 'location' or 'location set LAT LON'", words[0]));
    expectWords(words, 3, "a latitude and a longitude: location set LAT LON");
    double lat = parseLatitude(words[1]);
    double lon = parseLongitude(words[2]);
    // (0, 0) is how the store says "no position": it would be taken and then read back as none.
    if (lat == 0 && lon == 0)
        throw UsageError(
            fmt::format("'{} {}' cannot be stored: (0, 0) reads back as no position", words[1], words[2]));
    prefs.setStoredLocation(lat, lon);
    std::cout << fmt::format("location {} {}\n", lat, lon);
    return 0;
}

int scheduleCommand(Session& session, const std::vector<std::string>& words) {
    auto& prefs = session.preferences();
    if (words.empty() || words[0] == "list") {
        if (words.size() > 1)
            throw UsageError(fmt::format("'{}': 'schedule list' takes no more words", words[1]));
        return listSchedules(prefs);
    }
    const std::string& verb = words[0];
    const auto& list = prefs.scheduleList();
    if (verb == "add") {
        if (words.size() < 3 || words.size() > 4)
            throw UsageError("'add' takes a preset, a moment and optionally days: schedule add PRESET "
                             "HH:MM|sunrise[+-MIN]|sunset[+-MIN] [DAYS]");
        BrightnessPreset preset = findPreset(prefs, words[1]);
        ScheduleTrigger trigger = parseTrigger(words[2]);
        std::vector<int> days = words.size() == 4 ? parseDays(words[3]) : allWeekdays();
        if (list.size() >= maxScheduleCount)
            throw UsageError(fmt::format("'add': there are already {} schedules, the most there can be",
                                         maxScheduleCount));
        PresetSchedule schedule{Uuid::random(), preset.id, true, trigger, days};
        prefs.upsertSchedule(schedule);
        return listSchedules(prefs);
    }
    if (verb == "remove" || verb == "toggle") {
        expectWords(words, 2, "a schedule number from 'schedule list'");
        Uuid id = list[parseNumberIn(words[1], list.size(), "schedule")].id;
        if (verb == "remove")
            prefs.deleteSchedule(id);
        else
            prefs.toggleSchedule(id);
        return listSchedules(prefs);
    }
    throw UsageError(fmt::format("'{}' is not a schedule command: use list, add, remove or toggle", verb));
}

int solarCommand(Session& session, const std::vector<std::string>& words) {
    auto& prefs = session.preferences();
    if (words.empty()) {
        WallTime now = session.controller().platform().clock.now();
        std::string state = !prefs.solarCurveEnabled() ? "off"
                            : SolarCurve::isPaused(now, prefs.solarPausedUntil())
                                ? "paused until " + instantText(*prefs.solarPausedUntil())
                                : "on";
        std::cout << fmt::format("solar {}, night {}, day {}\n", state, formatLevel(prefs.solarNightLevel()),
                                 formatLevel(prefs.solarDayLevel()));
        return 0;
    }
    const std::string& verb = words[0];
    if (verb == "on" || verb == "off") {
        expectWords(words, 1, "no more words");
        prefs.setSolarCurveEnabled(verb == "on");
        std::cout << "solar " << verb << "\n";
        if (verb == "on")
            applyCurveNow(session);
        return 0;
    }
    if (verb == "levels") {
        expectWords(words, 3, "a night and a day level: solar levels NIGHT DAY");
        double night = parseLevel(words[1]);
        double day = parseLevel(words[2]);
        prefs.setSolarLevels(night, day);
        std::cout << fmt::format("solar levels night {} day {}\n", formatLevel(night), formatLevel(day));
        if (prefs.solarCurveEnabled())
            applyCurveNow(session);
        return 0;
    }
    throw UsageError(fmt::format("'{}' is not a solar command: use on, off or levels NIGHT DAY", verb));
}

void addDaylightCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        std::optional<std::string> lat, lon, date;
        std::vector<std::string> location, schedule, solar;
    };
    auto words = std::make_shared<Words>();

    auto* sun =
        commands.add(app, "sun", "Print sunrise and sunset of a day (UTC)", [words](CommandContext& c) {
            return showSun(c.session(), words->lat, words->lon, words->date);
        });
    sun->add_option("--lat", words->lat,
                    "Latitude in degrees, north positive (default: the stored position)");
    sun->add_option("--lon", words->lon, "Longitude in degrees, east positive");
    sun->add_option("--date", words->date, "YYYY-MM-DD (default: today in the desk's time zone)");

    auto* location =
        commands.add(app, "location", "Print or set the stored position: location [set LAT LON]",
                     [words](CommandContext& c) { return locationCommand(c.session(), words->location); });
    location->add_option("WORDS", words->location, "set LAT LON");

    auto* schedule =
        commands.add(app, "schedule", "Schedules: list, add PRESET WHEN [DAYS], remove N, toggle N",
                     [words](CommandContext& c) { return scheduleCommand(c.session(), words->schedule); });
    schedule->add_option(
        "WORDS", words->schedule,
        "list | add PRESET HH:MM|sunrise[+-MIN]|sunset[+-MIN] [daily|weekdays|weekend|mon,wed] "
        "| remove N | toggle N");

    auto* solar =
        commands.add(app, "solar", "The solar curve: solar [on|off|levels NIGHT DAY]",
                     [words](CommandContext& c) { return solarCommand(c.session(), words->solar); });
    solar->add_option("WORDS", words->solar, "on | off | levels NIGHT DAY");
}

} // namespace brivio::cli
