#include "DaylightCommands.h"

#include "AgentCalls.h"
#include "Arguments.h"
#include "CommandSet.h"
#include "app/StatusJson.h"
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

using nlohmann::json;
using status::instantText;

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
    if (auto trigger = status::parseTriggerWord(word))
        return *trigger;
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

int printSchedules(const json& list, bool asJson) {
    if (asJson) {
        printJson(list);
        return 0;
    }
    if (list.empty()) {
        std::cout << "No schedules.\n";
        return 0;
    }
    for (const auto& s : list) {
        std::string summary = s["summary"].get<std::string>();
        std::cout << fmt::format("{}  {:<3}  {:<16} {:<14} {}\n", s["number"].get<std::size_t>(),
                                 s["enabled"].get<bool>() ? "on" : "off", s["label"].get<std::string>(),
                                 summary.empty() ? "(no days)" : summary,
                                 s["preset"].is_string() ? s["preset"].get<std::string>()
                                                         : "(preset deleted)");
    }
    return 0;
}

int listSchedules(const BrivioPreferences& prefs, bool asJson) {
    return printSchedules(status::schedules(prefs), asJson);
}

void printSolar(const json& solar, bool asJson) {
    if (asJson) {
        printJson(solar);
        return;
    }
    std::string state = !solar["enabled"].get<bool>() ? "off"
                        : solar["paused"].get<bool>()
                            ? "paused until " + solar["pausedUntil"].get<std::string>()
                            : "on";
    std::cout << fmt::format("solar {}, night {}, day {}\n", state, formatLevel(solar["night"].get<double>()),
                             formatLevel(solar["day"].get<double>()));
}

void printLocation(const json& position, bool asJson) {
    if (asJson)
        printJson(position);
    else if (position.is_null())
        std::cout << "location none\n";
    else
        std::cout << fmt::format("location {} {}\n", position["latitude"].get<double>(),
                                 position["longitude"].get<double>());
}

void printSunTimes(const json& times, bool asJson) {
    if (asJson) {
        printJson(times);
        return;
    }
    for (const char* event : {"sunrise", "sunset"})
        std::cout << event << " " << (times[event].is_string() ? times[event].get<std::string>() : "none")
                  << "\n";
}

// Turning the curve on, or new levels while it is on: the level for now at once, through the schedule
// engine as the panel does. Says what happened.
std::string applyCurveNow(Session& session) {
    auto& prefs = session.preferences();
    WallTime now = session.controller().platform().clock.now();
    ScheduleEngine* engine = session.controller().scheduleEngine();
    if (!storedPosition(prefs))
        return "no position stored: the curve applies once one is known (brivioctl location set)";
    if (!engine)
        return "no displays: nothing applied";
    if (SolarCurve::isPaused(now, prefs.solarPausedUntil()))
        return "paused until " + instantText(*prefs.solarPausedUntil()) + ": nothing applied";
    auto times = engine->todaySolarTimes(now);
    auto level =
        times ? SolarCurve::level(now, *times, prefs.solarNightLevel(), prefs.solarDayLevel()) : std::nullopt;
    if (!level)
        return "the sun does not rise or set today here: nothing applied";
    engine->applySolarCurve(now);
    session.settle();
    return "brightness " + formatLevel(*level);
}

std::optional<GeoCoordinate> positionWords(const std::optional<std::string>& lat,
                                           const std::optional<std::string>& lon) {
    if (lat.has_value() != lon.has_value())
        throw UsageError(
            fmt::format("'{}' needs {} as well", lat ? "--lat" : "--lon", lat ? "--lon" : "--lat"));
    if (!lat)
        return std::nullopt;
    return GeoCoordinate{parseLatitude(*lat), parseLongitude(*lon)};
}

json sunTimesJson(const SolarTimes& times) {
    return {{"sunrise", times.sunrise ? json(instantText(*times.sunrise)) : json(nullptr)},
            {"sunset", times.sunset ? json(instantText(*times.sunset)) : json(nullptr)}};
}

} // namespace

int showSun(Session& session, const std::optional<std::string>& lat, const std::optional<std::string>& lon,
            const std::optional<std::string>& dateWord, bool asJson) {
    std::optional<GeoCoordinate> position = positionWords(lat, lon);
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
    printSunTimes(sunTimesJson(SolarCalculator::compute(*day, position->latitude, position->longitude)),
                  asJson);
    return 0;
}

int locationCommand(Session& session, const std::vector<std::string>& words, bool asJson) {
    auto& prefs = session.preferences();
    if (words.empty()) {
        printLocation(status::location(storedPosition(prefs)), asJson);
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
    printLocation(status::location(GeoCoordinate{lat, lon}), asJson);
    return 0;
}

namespace {

// The words of a schedule command, checked before anything is stored or sent.
struct ScheduleRequest {
    std::string verb;
    std::string preset, number;
    ScheduleTrigger trigger;
    std::vector<int> days;
};

ScheduleRequest parseScheduleWords(const std::vector<std::string>& words) {
    ScheduleRequest r;
    if (words.empty() || words[0] == "list") {
        if (words.size() > 1)
            throw UsageError(fmt::format("'{}': 'schedule list' takes no more words", words[1]));
        r.verb = "list";
        return r;
    }
    r.verb = words[0];
    if (r.verb == "add") {
        if (words.size() < 3 || words.size() > 4)
            throw UsageError("'add' takes a preset, a moment and optionally days: schedule add PRESET "
                             "HH:MM|sunrise[+-MIN]|sunset[+-MIN] [DAYS]");
        r.preset = words[1];
        r.trigger = parseTrigger(words[2]);
        r.days = words.size() == 4 ? parseDays(words[3]) : allWeekdays();
        return r;
    }
    if (r.verb == "remove" || r.verb == "toggle") {
        expectWords(words, 2, "a schedule number from 'schedule list'");
        r.number = words[1];
        return r;
    }
    throw UsageError(fmt::format("'{}' is not a schedule command: use list, add, remove or toggle", r.verb));
}

} // namespace

int scheduleCommand(Session& session, const std::vector<std::string>& words, bool asJson) {
    auto& prefs = session.preferences();
    ScheduleRequest r = parseScheduleWords(words);
    const auto& list = prefs.scheduleList();
    if (r.verb == "add") {
        BrightnessPreset preset = findPreset(prefs, r.preset);
        if (list.size() >= maxScheduleCount)
            throw UsageError(fmt::format("'add': there are already {} schedules, the most there can be",
                                         maxScheduleCount));
        prefs.upsertSchedule(PresetSchedule{Uuid::random(), preset.id, true, r.trigger, r.days});
    } else if (r.verb != "list") {
        Uuid id = list[parseNumberIn(r.number, list.size(), "schedule")].id;
        if (r.verb == "remove")
            prefs.deleteSchedule(id);
        else
            prefs.toggleSchedule(id);
    }
    return listSchedules(prefs, asJson);
}

int solarCommand(Session& session, const std::vector<std::string>& words, bool asJson) {
    auto& prefs = session.preferences();
    auto state = [&] { return status::solar(prefs, session.controller().platform().clock.now()); };
    if (words.empty()) {
        printSolar(state(), asJson);
        return 0;
    }
    const std::string& verb = words[0];
    std::string note;
    if (verb == "on" || verb == "off") {
        expectWords(words, 1, "no more words");
        prefs.setSolarCurveEnabled(verb == "on");
        note = "solar " + verb;
        if (verb == "on")
            note += "\n" + applyCurveNow(session);
    } else if (verb == "levels") {
        expectWords(words, 3, "a night and a day level: solar levels NIGHT DAY");
        double night = parseLevel(words[1]);
        double day = parseLevel(words[2]);
        prefs.setSolarLevels(night, day);
        note = fmt::format("solar levels night {} day {}", formatLevel(night), formatLevel(day));
        if (prefs.solarCurveEnabled())
            note += "\n" + applyCurveNow(session);
    } else {
        throw UsageError(fmt::format("'{}' is not a solar command: use on, off or levels NIGHT DAY", verb));
    }
    if (asJson)
        printJson(state());
    else
        std::cout << note << "\n";
    return 0;
}

namespace {

// The same commands through the running agent.

const char* const automation = bus::automationInterface;

int sunThroughAgent(bus::AgentClient& agent, const std::optional<std::string>& lat,
                    const std::optional<std::string>& lon, const std::optional<std::string>& dateWord,
                    bool asJson) {
    std::map<std::string, double> at;
    if (auto position = positionWords(lat, lon))
        at = {{"latitude", position->latitude}, {"longitude", position->longitude}};
    if (dateWord)
        parseDate(*dateWord);
    return throughAgent([&] {
        json times = agentObject(agent, automation, "SunTimes", dateWord.value_or(""), at);
        for (const char* event : {"sunrise", "sunset"})
            if (!times.contains(event))
                times[event] = nullptr;
        printSunTimes(times, asJson);
        return 0;
    });
}

int locationThroughAgent(bus::AgentClient& agent, const std::vector<std::string>& words, bool asJson) {
    return throughAgent([&] {
        if (!words.empty()) {
            if (words[0] != "set")
                throw UsageError(fmt::format(
                    "'{}' is not a location command: use 'location' or 'location set LAT LON'", words[0]));
            expectWords(words, 3, "a latitude and a longitude: location set LAT LON");
            agent.call(automation, "SetLocation", parseLatitude(words[1]), parseLongitude(words[2]));
        }
        json position = agentObject(agent, automation, "GetLocation");
        printLocation(position.empty() ? json(nullptr) : position, asJson);
        return 0;
    });
}

int scheduleThroughAgent(bus::AgentClient& agent, const std::vector<std::string>& words, bool asJson) {
    ScheduleRequest r = parseScheduleWords(words);
    return throughAgent([&] {
        if (r.verb == "add") {
            agent.call(automation, "AddSchedule", r.preset, status::triggerWord(r.trigger),
                       std::vector<std::int32_t>(r.days.begin(), r.days.end()));
        } else if (r.verb == "remove") {
            agent.call(automation, "DeleteSchedule", r.number);
        } else if (r.verb == "toggle") {
            json list = agentList(agent, automation, "ListSchedules");
            const json& entry = list[parseNumberIn(r.number, list.size(), "schedule")];
            agent.call(automation, "SetScheduleEnabled", entry["id"].get<std::string>(),
                       !entry["enabled"].get<bool>());
        }
        return printSchedules(agentList(agent, automation, "ListSchedules"), asJson);
    });
}

int solarThroughAgent(bus::AgentClient& agent, const std::vector<std::string>& words, bool asJson) {
    return throughAgent([&] {
        std::string note;
        if (!words.empty()) {
            const std::string& verb = words[0];
            if (verb == "on" || verb == "off") {
                expectWords(words, 1, "no more words");
                agent.call(automation, "SetSolarEnabled", verb == "on");
                note = "solar " + verb;
            } else if (verb == "levels") {
                expectWords(words, 3, "a night and a day level: solar levels NIGHT DAY");
                double night = parseLevel(words[1]);
                double day = parseLevel(words[2]);
                agent.call(automation, "SetSolarLevels", night, day);
                note = fmt::format("solar levels night {} day {}", formatLevel(night), formatLevel(day));
            } else {
                throw UsageError(
                    fmt::format("'{}' is not a solar command: use on, off or levels NIGHT DAY", verb));
            }
        }
        json solar = agentObject(agent, automation, "GetSolar");
        if (!solar.contains("pausedUntil"))
            solar["pausedUntil"] = nullptr;
        if (asJson || note.empty())
            printSolar(solar, asJson);
        else
            std::cout << note << "\n";
        return 0;
    });
}

} // namespace

void addDaylightCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        std::optional<std::string> lat, lon, date;
        std::vector<std::string> location, schedule, solar;
    };
    auto words = std::make_shared<Words>();

    auto* sun =
        commands.add(app, "sun", "Print sunrise and sunset of a day (UTC)", [words](CommandContext& c) {
            bool json = c.options().json;
            if (auto* agent = c.agent())
                return sunThroughAgent(*agent, words->lat, words->lon, words->date, json);
            return showSun(c.session(), words->lat, words->lon, words->date, json);
        });
    sun->add_option("--lat", words->lat,
                    "Latitude in degrees, north positive (default: the stored position)");
    sun->add_option("--lon", words->lon, "Longitude in degrees, east positive");
    sun->add_option("--date", words->date, "YYYY-MM-DD (default: today in the desk's time zone)");

    auto* location =
        commands.add(app, "location", "Print or set the stored position: location [set LAT LON]",
                     [words](CommandContext& c) {
                         if (auto* agent = c.agent())
                             return locationThroughAgent(*agent, words->location, c.options().json);
                         return locationCommand(c.session(), words->location, c.options().json);
                     });
    location->add_option("WORDS", words->location, "set LAT LON");

    auto* schedule =
        commands.add(app, "schedule", "Schedules: list, add PRESET WHEN [DAYS], remove N, toggle N",
                     [words](CommandContext& c) {
                         if (auto* agent = c.agent())
                             return scheduleThroughAgent(*agent, words->schedule, c.options().json);
                         return scheduleCommand(c.session(), words->schedule, c.options().json);
                     });
    schedule->add_option(
        "WORDS", words->schedule,
        "list | add PRESET HH:MM|sunrise[+-MIN]|sunset[+-MIN] [daily|weekdays|weekend|mon,wed] "
        "| remove N | toggle N");

    auto* solar = commands.add(app, "solar", "The solar curve: solar [on|off|levels NIGHT DAY]",
                               [words](CommandContext& c) {
                                   if (auto* agent = c.agent())
                                       return solarThroughAgent(*agent, words->solar, c.options().json);
                                   return solarCommand(c.session(), words->solar, c.options().json);
                               });
    solar->add_option("WORDS", words->solar, "on | off | levels NIGHT DAY");
}

} // namespace brivio::cli
