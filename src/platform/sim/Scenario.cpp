#include "platform/sim/Scenario.h"

#include "base/BoundedJson.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fmt/format.h>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

namespace brivio {

using nlohmann::json;

// One line whatever the names hold: a field name with a line break must not split the message.
ScenarioError::ScenarioError(std::string file, std::string path, std::string expected)
    : std::runtime_error(
          escapeControlCharacters(path.empty() ? fmt::format("{}: expected {}", file, expected)
                                               : fmt::format("{}: {}: expected {}", file, path, expected))),
      file_(std::move(file)), path_(std::move(path)), expected_(std::move(expected)) {}

std::optional<WallTime> parseInstant(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second,
                    &consumed) != 6 ||
        consumed != 19)
        return std::nullopt;
    std::string rest = text.substr(19);
    std::chrono::milliseconds fraction{0};
    if (!rest.empty() && rest[0] == '.') {
        std::size_t digits = 1;
        while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits])))
            ++digits;
        if (digits == 1)
            return std::nullopt;
        std::string ms = (rest.substr(1, digits - 1) + "000").substr(0, 3);
        fraction = std::chrono::milliseconds(std::stoi(ms));
        rest = rest.substr(digits);
    }
    std::chrono::minutes offset{0};
    if (rest == "Z") {
    } else if (rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && rest[3] == ':') {
        int oh = 0, om = 0, n = 0;
        if (std::sscanf(rest.c_str() + 1, "%2d:%2d%n", &oh, &om, &n) != 2 || n != 5 || oh > 23 || om > 59)
            return std::nullopt;
        offset = std::chrono::minutes((oh * 60 + om) * (rest[0] == '-' ? -1 : 1));
    } else {
        return std::nullopt;
    }
    std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(unsigned(month)),
                                     std::chrono::day(unsigned(day))};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    auto local = std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
                 std::chrono::seconds(second) + fraction;
    return std::chrono::time_point_cast<WallTime::duration>(local - offset);
}

namespace {

// A desk of 32 displays with every field set is a few hundred kilobytes.
constexpr JsonLimits scenarioLimits{4u << 20, 32};

// Reads one scenario document, keeping the JSON path of the field being read for error messages.
class Reader {
public:
    explicit Reader(const std::string& file) : file_(file) {}

    [[noreturn]] void fail(const std::string& path, const std::string& expected) const {
        throw ScenarioError(file_, path, expected);
    }

    static std::string join(const std::string& path, const std::string& key) {
        return path.empty() ? key : path + "." + key;
    }

    void requireObject(const json& j, const std::string& path,
                       std::initializer_list<const char*> known) const {
        if (!j.is_object())
            fail(path, "an object");
        for (auto& [key, value] : j.items()) {
            if (key == "comment")
                continue;
            if (std::none_of(known.begin(), known.end(), [&](const char* k) { return key == k; })) {
                std::string names;
                for (const char* k : known)
                    names += (names.empty() ? "" : ", ") + std::string(k);
                fail(join(path, key), "a known field (" + names + ")");
            }
        }
    }

    std::optional<std::int64_t> integer(const json& obj, const std::string& path, const char* key,
                                        std::int64_t min, std::int64_t max) const {
        auto it = obj.find(key);
        if (it == obj.end())
            return std::nullopt;
        std::string where = join(path, key);
        std::string range = fmt::format("an integer from {} to {}", min, max);
        if (!it->is_number_integer())
            fail(where, range);
        // Non-negative literals parse as unsigned: they must meet the lower bound too (refreshRate 0).
        if (it->is_number_unsigned() ? it->get<std::uint64_t>() > std::uint64_t(max) ||
                                           (min > 0 && it->get<std::uint64_t>() < std::uint64_t(min))
                                     : it->get<std::int64_t>() < min || it->get<std::int64_t>() > max)
            fail(where, range);
        return it->get<std::int64_t>();
    }

    std::optional<std::uint32_t> u32(const json& obj, const std::string& path, const char* key) const {
        auto v = integer(obj, path, key, 0, std::numeric_limits<std::uint32_t>::max());
        return v ? std::optional(std::uint32_t(*v)) : std::nullopt;
    }

    std::optional<double> number(const json& obj, const std::string& path, const char* key, double min,
                                 double max, const char* what = nullptr) const {
        auto it = obj.find(key);
        if (it == obj.end())
            return std::nullopt;
        std::string expected = what ? what : fmt::format("a number from {} to {}", min, max);
        if (!it->is_number())
            fail(join(path, key), expected);
        double v = it->get<double>();
        if (!std::isfinite(v) || v < min || v > max)
            fail(join(path, key), expected);
        return v;
    }

    std::optional<bool> boolean(const json& obj, const std::string& path, const char* key) const {
        auto it = obj.find(key);
        if (it == obj.end())
            return std::nullopt;
        if (!it->is_boolean())
            fail(join(path, key), "true or false");
        return it->get<bool>();
    }

    std::optional<std::string> string(const json& obj, const std::string& path, const char* key) const {
        auto it = obj.find(key);
        if (it == obj.end())
            return std::nullopt;
        if (!it->is_string() || it->get<std::string>().empty())
            fail(join(path, key), "a non-empty string");
        return it->get<std::string>();
    }

    ScenarioDisplay display(const json& j, const std::string& path, double defaultX) const {
        requireObject(j, path, {"name",          "builtIn",     "vendor",
                                "product",       "serial",      "unit",
                                "displayNumber", "bounds",      "rotation",
                                "refreshRate",   "screen",      "connected",
                                "native",        "ddc",         "services",
                                "modes",         "currentMode", "modeChangeFailsAt",
                                "calibration",   "gammaFails",  "gammaResetAtMs",
                                "unavailable"});
        ScenarioDisplay d;
        auto name = string(j, path, "name");
        if (!name)
            fail(join(path, "name"), "a non-empty string (the display's name is required)");
        d.name = *name;
        d.builtIn = boolean(j, path, "builtIn").value_or(false);
        d.vendor = u32(j, path, "vendor").value_or(0);
        d.product = u32(j, path, "product").value_or(0);
        d.serial = u32(j, path, "serial").value_or(0);
        d.unit = u32(j, path, "unit").value_or(0);
        if (auto n = integer(j, path, "displayNumber", 1, std::numeric_limits<std::uint32_t>::max()))
            d.displayNumber = DisplayNumber(*n);
        if (auto it = j.find("rotation"); it != j.end() && it->is_object())
            rotation(*it, join(path, "rotation"), d);
        else if (auto r = angle(j, path, "rotation"))
            d.rotation = *r;
        if (auto step = string(j, path, "modeChangeFailsAt")) {
            const std::map<std::string, ModeChangeStep> steps{{"begin", ModeChangeStep::begin},
                                                              {"configure", ModeChangeStep::configure},
                                                              {"complete", ModeChangeStep::complete}};
            auto found = steps.find(*step);
            if (found == steps.end())
                fail(join(path, "modeChangeFailsAt"), "\"begin\", \"configure\" or \"complete\"");
            d.modeChangeFailsAt = found->second;
        }
        d.refreshRate = int(integer(j, path, "refreshRate", 1, 1000).value_or(60));
        d.screen = boolean(j, path, "screen").value_or(true);
        d.connected = boolean(j, path, "connected").value_or(true);
        d.gammaFails = boolean(j, path, "gammaFails").value_or(false);
        if (auto it = j.find("unavailable"); it != j.end()) {
            std::string p = join(path, "unavailable");
            requireObject(*it, p, {"overlay", "gamma", "modes"});
            d.overlayUnavailable = string(*it, p, "overlay");
            d.gammaUnavailable = string(*it, p, "gamma");
            d.modesUnavailable = string(*it, p, "modes");
        }
        if (auto it = j.find("gammaResetAtMs"); it != j.end())
            d.gammaResetAtMs = instants(*it, join(path, "gammaResetAtMs"));
        if (auto it = j.find("native"); it != j.end()) {
            std::string p = join(path, "native");
            requireObject(*it, p, {"brightness"});
            d.nativeBrightness = number(*it, p, "brightness", 0, 1).value_or(1.0);
        }
        if (auto it = j.find("ddc"); it != j.end())
            d.ddc = ddc(*it, join(path, "ddc"));
        if (auto it = j.find("services"); it != j.end()) {
            std::string p = join(path, "services");
            if (!it->is_array())
                fail(p, "an array of services");
            d.services.emplace();
            for (std::size_t i = 0; i < it->size(); ++i)
                d.services->push_back(service((*it)[i], fmt::format("{}[{}]", p, i)));
        }
        if (auto it = j.find("modes"); it != j.end())
            modes(*it, join(path, "modes"), d);
        if (j.contains("currentMode")) {
            std::string p = join(path, "currentMode");
            if (d.modes.empty())
                fail(p, "a mode list to index (modes is empty or absent)");
            if (std::any_of(j["modes"].begin(), j["modes"].end(),
                            [](const json& m) { return m.is_object() && m.contains("current"); }))
                fail(p, "either currentMode or a mode marked current, not both");
            d.currentMode =
                std::size_t(*integer(j, path, "currentMode", 0, std::int64_t(d.modes.size()) - 1));
        }
        if (auto it = j.find("calibration"); it != j.end()) {
            std::string p = join(path, "calibration");
            requireObject(*it, p, {"gamma", "red", "green", "blue"});
            d.calibration.gamma = number(*it, p, "gamma", 0.1, 10).value_or(1.0);
            d.calibration.red = number(*it, p, "red", 0.01, 1).value_or(1.0);
            d.calibration.green = number(*it, p, "green", 0.01, 1).value_or(1.0);
            d.calibration.blue = number(*it, p, "blue", 0.01, 1).value_or(1.0);
        }
        if (auto it = j.find("bounds"); it != j.end()) {
            std::string p = join(path, "bounds");
            const char* expected = "[x, y, width, height] with a positive width and height";
            if (!it->is_array() || it->size() != 4 ||
                !std::all_of(it->begin(), it->end(), [](const json& v) { return v.is_number(); }))
                fail(p, expected);
            d.bounds = {(*it)[0].get<double>(), (*it)[1].get<double>(), (*it)[2].get<double>(),
                        (*it)[3].get<double>()};
            if (!(d.bounds.width > 0 && d.bounds.height > 0) || !std::isfinite(d.bounds.x) ||
                !std::isfinite(d.bounds.y) || !std::isfinite(d.bounds.width) ||
                !std::isfinite(d.bounds.height))
                fail(p, expected);
        } else if (!d.modes.empty()) {
            const ScenarioMode& m = d.modes[d.currentMode];
            d.bounds = {defaultX, 0, double(m.width), double(m.height)};
        } else {
            d.bounds = {defaultX, 0, 1920, 1080};
        }
        return d;
    }

    ScenarioDDC ddc(const json& j, const std::string& path) const {
        requireObject(j, path,
                      {"vcp", "failReads", "zeroReplies", "writeFails", "strictTiming", "minWriteIntervalMs",
                       "inputs"});
        ScenarioDDC d;
        d.failReads = int(integer(j, path, "failReads", 0, 1000000).value_or(0));
        d.zeroReplies = int(integer(j, path, "zeroReplies", 0, 1000000).value_or(0));
        d.writeFails = boolean(j, path, "writeFails").value_or(false);
        d.strictTiming = boolean(j, path, "strictTiming").value_or(false);
        d.minWriteIntervalMs = int(integer(j, path, "minWriteIntervalMs", 0, 60000).value_or(0));
        if (auto inputs = j.find("inputs"); inputs != j.end()) {
            std::string p = join(path, "inputs");
            if (!inputs->is_array())
                fail(p, "an array of input values from 1 to 255");
            d.inputs.emplace();
            for (std::size_t i = 0; i < inputs->size(); ++i) {
                const json& v = (*inputs)[i];
                if (!v.is_number_unsigned() || v.get<std::uint64_t>() < 1 || v.get<std::uint64_t>() > 255)
                    fail(fmt::format("{}[{}]", p, i), "an input value from 1 to 255");
                d.inputs->push_back(std::uint8_t(v.get<std::uint64_t>()));
            }
            auto vcp = j.find("vcp");
            if (vcp == j.end() || !vcp->is_object() ||
                std::none_of(vcp->items().begin(), vcp->items().end(),
                             [](const auto& item) { return vcpCode(item.key()) == 0x60; }))
                fail(p, "a list of inputs only for a monitor with a \"0x60\" entry in vcp");
        }
        auto it = j.find("vcp");
        if (it == j.end())
            return d;
        std::string vcpPath = join(path, "vcp");
        if (!it->is_object())
            fail(vcpPath, "an object of VCP codes such as \"0x10\": [current, max]");
        for (auto& [key, value] : it->items()) {
            std::string where = join(vcpPath, key);
            auto code = vcpCode(key);
            if (!code)
                fail(where, "a VCP code written as 0x followed by one or two hexadecimal digits");
            const char* expected = "[current, max], integers with current <= max <= 65535 (max 0 allowed)";
            if (!value.is_array() || value.size() != 2 ||
                !std::all_of(value.begin(), value.end(),
                             [](const json& v) { return v.is_number_unsigned(); }))
                fail(where, expected);
            auto current = value[0].get<std::uint64_t>(), max = value[1].get<std::uint64_t>();
            // Input select and power mode hold codes, not levels: their maximum bounds nothing.
            bool isCode = *code == 0x60 || *code == 0xD6;
            if (current > 65535 || max > 65535 || (!isCode && max > 0 && current > max))
                fail(where, isCode ? "[current, max], integers up to 65535" : expected);
            if (d.vcp.count(*code))
                fail(where, "each VCP code once");
            d.vcp[*code] = {std::uint16_t(current), std::uint16_t(max)};
        }
        return d;
    }

    std::vector<long long> instants(const json& j, const std::string& path) const {
        const char* expected = "an array of virtual instants in milliseconds, integers from 0 to 31536000000";
        if (!j.is_array())
            fail(path, expected);
        std::vector<long long> out;
        for (std::size_t i = 0; i < j.size(); ++i) {
            const json& v = j[i];
            // Up to a year of virtual time: enough for any run, far from overflowing the clock.
            if (!v.is_number_unsigned() || v.get<std::uint64_t>() > 31536000000ull)
                fail(fmt::format("{}[{}]", path, i), "an integer from 0 to 31536000000 (milliseconds)");
            out.push_back(static_cast<long long>(v.get<std::uint64_t>()));
        }
        return out;
    }

    static std::optional<std::uint8_t> vcpCode(const std::string& key) {
        if (key.size() < 3 || key.size() > 4 || key[0] != '0' || (key[1] != 'x' && key[1] != 'X'))
            return std::nullopt;
        unsigned value = 0;
        for (std::size_t i = 2; i < key.size(); ++i) {
            char c = key[i];
            unsigned digit = 0;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = unsigned(c - 'A' + 10);
            else
                return std::nullopt;
            value = value * 16 + digit;
        }
        return std::uint8_t(value);
    }

    ScenarioService service(const json& j, const std::string& path) const {
        requireObject(j, path,
                      {"class", "vendor", "product", "serial", "unit", "unitKey", "avCapable", "i2c",
                       "attributesOnly", "propertiesUnreadable", "edid"});
        ScenarioService s;
        auto cls = string(j, path, "class");
        if (!cls)
            fail(join(path, "class"), "a non-empty string (the registry class is required)");
        s.className = *cls;
        s.vendor = u32(j, path, "vendor");
        s.product = u32(j, path, "product");
        s.serial = u32(j, path, "serial");
        s.unit = u32(j, path, "unit");
        s.unitKey = string(j, path, "unitKey").value_or("DisplayUnit");
        s.avCapable = boolean(j, path, "avCapable").value_or(false);
        s.i2c = boolean(j, path, "i2c");
        s.attributesOnly = boolean(j, path, "attributesOnly").value_or(false);
        s.propertiesUnreadable = boolean(j, path, "propertiesUnreadable").value_or(false);
        s.edid = boolean(j, path, "edid").value_or(true);
        return s;
    }

    void modes(const json& j, const std::string& path, ScenarioDisplay& d) const {
        if (!j.is_array())
            fail(path, "an array of modes");
        std::optional<std::size_t> current;
        for (std::size_t i = 0; i < j.size(); ++i) {
            std::string p = fmt::format("{}[{}]", path, i);
            const json& m = j[i];
            requireObject(m, p,
                          {"width", "height", "pixelWidth", "pixelHeight", "refreshRate", "refresh", "usable",
                           "current"});
            ScenarioMode mode;
            auto width = integer(m, p, "width", 1, 65535), height = integer(m, p, "height", 1, 65535);
            if (!width)
                fail(join(p, "width"), "an integer from 1 to 65535");
            if (!height)
                fail(join(p, "height"), "an integer from 1 to 65535");
            mode.width = std::uint32_t(*width);
            mode.height = std::uint32_t(*height);
            mode.pixelWidth = std::uint32_t(integer(m, p, "pixelWidth", 1, 65535).value_or(*width));
            mode.pixelHeight = std::uint32_t(integer(m, p, "pixelHeight", 1, 65535).value_or(*height));
            if (m.contains("refresh") && m.contains("refreshRate"))
                fail(join(p, "refresh"), "either refresh or refreshRate, not both");
            mode.refreshRate =
                number(m, p, "refreshRate", 0, 1000).value_or(number(m, p, "refresh", 0, 1000).value_or(60));
            mode.usable = boolean(m, p, "usable").value_or(true);
            if (boolean(m, p, "current").value_or(false)) {
                if (current)
                    fail(join(p, "current"), "at most one current mode");
                current = i;
            }
            d.modes.push_back(mode);
        }
        d.currentMode = current.value_or(0);
    }

    std::optional<double> angle(const json& obj, const std::string& path, const char* key) const {
        auto r = number(obj, path, key, 0, 270, "0, 90, 180 or 270");
        if (r && *r != 0 && *r != 90 && *r != 180 && *r != 270)
            fail(join(path, key), "0, 90, 180 or 270");
        return r;
    }

    void rotation(const json& j, const std::string& path, ScenarioDisplay& d) const {
        requireObject(j, path, {"angle", "paths"});
        d.rotation = angle(j, path, "angle").value_or(0);
        auto it = j.find("paths");
        if (it == j.end())
            return;
        std::string p = join(path, "paths");
        if (!it->is_array())
            fail(p, "an array of rotation paths");
        const std::map<std::string, RotationPath> names{
            {"framebuffer", RotationPath::framebuffer},
            {"displayService", RotationPath::displayService},
            {"displayRotation", RotationPath::displayRotation},
            {"connectionRotation", RotationPath::connectionRotation},
            {"userRotation", RotationPath::userRotation}};
        const char* expected = "a rotation path: framebuffer, displayService, displayRotation, "
                               "connectionRotation or userRotation";
        d.rotationPaths.emplace();
        for (std::size_t i = 0; i < it->size(); ++i) {
            std::string where = fmt::format("{}[{}]", p, i);
            const json& entry = (*it)[i];
            ScenarioRotationPath r;
            std::string name;
            if (entry.is_string()) {
                name = entry.get<std::string>();
            } else if (entry.is_object()) {
                requireObject(entry, where, {"path", "fails"});
                name = string(entry, where, "path").value_or("");
                where = join(where, "path");
                r.fails = boolean(entry, fmt::format("{}[{}]", p, i), "fails").value_or(false);
            } else {
                fail(where, std::string(expected) + ", or {\"path\": name, \"fails\": true}");
            }
            auto found = names.find(name);
            if (found == names.end())
                fail(where, expected);
            r.path = found->second;
            if (std::any_of(d.rotationPaths->begin(), d.rotationPaths->end(),
                            [&](const ScenarioRotationPath& o) { return o.path == r.path; }))
                fail(where, "each rotation path once");
            d.rotationPaths->push_back(r);
        }
    }

    Scenario document(const json& j) const {
        Scenario s;
        s.source = file_;
        s.clock.start = *parseInstant("2024-06-21T08:00:00Z");
        requireObject(j, "", {"displays", "clock", "location", "events"});
        if (auto it = j.find("displays"); it != j.end()) {
            if (!it->is_array())
                fail("displays", "an array of displays");
            if (it->size() > WindowServer::maxDisplays)
                fail("displays", fmt::format("at most {} displays", WindowServer::maxDisplays));
            double nextX = 0;
            std::set<DisplayNumber> numbers;
            for (std::size_t i = 0; i < it->size(); ++i) {
                std::string p = fmt::format("displays[{}]", i);
                ScenarioDisplay d = display((*it)[i], p, nextX);
                if (d.displayNumber && !numbers.insert(*d.displayNumber).second)
                    fail(p + ".displayNumber", "a display number no other display has");
                nextX = std::max(nextX, d.bounds.x + d.bounds.width);
                s.displays.push_back(std::move(d));
            }
        }
        if (auto it = j.find("clock"); it != j.end()) {
            requireObject(*it, "clock", {"start", "timeZone"});
            if (auto start = string(*it, "clock", "start")) {
                auto instant = parseInstant(*start);
                if (!instant)
                    fail("clock.start", "an instant such as 2024-06-21T04:00:00Z");
                s.clock.start = *instant;
            }
            if (auto zone = string(*it, "clock", "timeZone")) {
                if (zone->find(' ') != std::string::npos)
                    fail("clock.timeZone", "a time zone name such as Europe/Berlin");
                s.clock.timeZone = *zone;
            }
        }
        if (auto it = j.find("location"); it != j.end()) {
            requireObject(*it, "location", {"lat", "lon", "status", "promptAnswer"});
            auto lat = number(*it, "location", "lat", -90, 90);
            auto lon = number(*it, "location", "lon", -180, 180);
            if (lat.has_value() != lon.has_value())
                fail(lat ? "location.lon" : "location.lat", "both lat and lon, or neither");
            if (lat)
                s.location.position = GeoCoordinate{*lat, *lon};
            s.location.status = int(integer(*it, "location", "status", 0, 4).value_or(0));
            s.location.promptAnswer = int(integer(*it, "location", "promptAnswer", 0, 4).value_or(3));
        }
        if (auto it = j.find("events"); it != j.end())
            s.events = events(*it, "events", s.displays);
        return s;
    }

    std::vector<ScenarioEvent> events(const json& j, const std::string& path,
                                      const std::vector<ScenarioDisplay>& displays) const {
        if (!j.is_array())
            fail(path, "an array of events");
        // Ten years either way is more than any test needs and far from overflowing the clocks.
        constexpr std::int64_t limitMs = 10LL * 366 * 24 * 3600 * 1000;
        const std::map<std::string, DeskAction> actions{
            {"plug", DeskAction::plug},
            {"unplug", DeskAction::unplug},
            {"moved", DeskAction::moved},
            {"ddcStops", DeskAction::ddcStops},
            {"ddcAnswers", DeskAction::ddcAnswers},
            {"refuseSetVcp", DeskAction::refuseSetVcp},
            {"failBacklightReads", DeskAction::failBacklightReads},
            {"writeGamma", DeskAction::writeGamma}};
        const char* exactlyOne = "exactly one of sleepForMs, clockJumpMs, plug, unplug, moved, ddcStops, "
                                 "ddcAnswers, refuseSetVcp, failBacklightReads and writeGamma";
        std::vector<ScenarioEvent> out;
        for (std::size_t i = 0; i < j.size(); ++i) {
            std::string p = fmt::format("{}[{}]", path, i);
            requireObject(j[i], p,
                          {"atMs", "sleepForMs", "clockJumpMs", "plug", "unplug", "moved", "ddcStops",
                           "ddcAnswers", "refuseSetVcp", "failBacklightReads", "writeGamma"});
            ScenarioEvent e;
            auto at = integer(j[i], p, "atMs", 0, limitMs);
            if (!at)
                fail(join(p, "atMs"), "an integer from 0 to " + std::to_string(limitMs) + " (required)");
            e.at = std::chrono::milliseconds{*at};
            auto sleep = integer(j[i], p, "sleepForMs", 1, limitMs);
            auto jump = integer(j[i], p, "clockJumpMs", -limitMs, limitMs);
            std::vector<std::string> given;
            if (sleep)
                given.push_back("sleepForMs");
            if (jump)
                given.push_back("clockJumpMs");
            for (auto& [name, action] : actions)
                if (j[i].contains(name))
                    given.push_back(name);
            if (given.size() != 1)
                fail(given.size() > 1 ? join(p, given[1]) : p, exactlyOne);
            if (sleep)
                e.sleepFor = std::chrono::milliseconds{*sleep};
            if (jump)
                e.clockJump = std::chrono::milliseconds{*jump};
            if (!sleep && !jump)
                deskAction(j[i], p, given.front(), actions.at(given.front()), displays, e);
            out.push_back(e);
        }
        // Equal moments keep the order of the file.
        std::stable_sort(out.begin(), out.end(),
                         [](const ScenarioEvent& a, const ScenarioEvent& b) { return a.at < b.at; });
        return out;
    }

    // `"plug": 1`, or an object naming the display for the actions that take more.
    void deskAction(const json& event, const std::string& path, const std::string& name, DeskAction action,
                    const std::vector<ScenarioDisplay>& displays, ScenarioEvent& e) const {
        std::string p = join(path, name);
        if (displays.empty())
            fail(p, "a scenario with displays to act on");
        const auto lastIndex = std::int64_t(displays.size()) - 1;
        e.action = action;
        const json& value = event.at(name);
        if (action == DeskAction::refuseSetVcp || action == DeskAction::failBacklightReads) {
            requireObject(value, p, {"display", "count"});
            e.count = int(integer(value, p, "count", 1, 1000000).value_or(1));
        } else if (action == DeskAction::writeGamma) {
            requireObject(value, p, {"display", "red", "green", "blue"});
            e.gamma = {number(value, p, "red", 0, 1).value_or(1.0),
                       number(value, p, "green", 0, 1).value_or(1.0),
                       number(value, p, "blue", 0, 1).value_or(1.0)};
        }
        bool inObject = value.is_object();
        std::string where = inObject ? join(p, "display") : p;
        auto index = inObject ? integer(value, p, "display", 0, lastIndex)
                              : integer(event, path, name.c_str(), 0, lastIndex);
        if (!index)
            fail(where, fmt::format("a display index from 0 to {} (required)", lastIndex));
        e.display = std::size_t(*index);
        const ScenarioDisplay& d = displays[e.display];
        bool needsDDC = action == DeskAction::ddcStops || action == DeskAction::ddcAnswers ||
                        action == DeskAction::refuseSetVcp;
        if (needsDDC && !d.ddc)
            fail(where, "a display whose monitor has a \"ddc\" object");
        if (action == DeskAction::failBacklightReads && !d.nativeBrightness)
            fail(where, "a display with a \"native\" backlight");
    }

private:
    std::string file_;
};

} // namespace

Scenario Scenario::fromJson(const json& document, const std::string& source) {
    return Reader(source).document(document);
}

Scenario Scenario::parse(const std::string& text, const std::string& source) {
    JsonReadError error;
    auto document = parseBoundedJson(text, scenarioLimits, &error);
    if (!document)
        throw ScenarioError(source, error.path, error.expected);
    return fromJson(*document, source);
}

Scenario Scenario::load(const std::string& path) {
    BoundedRead file = readBoundedFile(path, scenarioLimits.maxBytes);
    if (file.status == BoundedReadStatus::tooLarge)
        throw ScenarioError(path, "",
                            fmt::format("a scenario file of at most {} bytes", scenarioLimits.maxBytes));
    if (file.status != BoundedReadStatus::ok)
        throw ScenarioError(path, "", fmt::format("a readable scenario file ({})", file.error));
    return parse(file.contents, path);
}

} // namespace brivio
