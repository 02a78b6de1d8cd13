#include "settings/StoredValueJson.h"

#include "settings/Base64.h"

#include <cmath>
#include <date/date.h>
#include <limits>

namespace brivio {

namespace {

using nlohmann::json;

// JSON has no NaN or infinities; they are spelled as strings so a stored double always reads back.
json encodeDouble(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    return v;
}

std::optional<double> decodeDouble(const json& j) {
    if (j.is_number())
        return j.get<double>();
    if (j.is_string()) {
        const auto& s = j.get_ref<const std::string&>();
        if (s == "NaN")
            return std::numeric_limits<double>::quiet_NaN();
        if (s == "Infinity")
            return std::numeric_limits<double>::infinity();
        if (s == "-Infinity")
            return -std::numeric_limits<double>::infinity();
    }
    return std::nullopt;
}

struct Encoder {
    json operator()(const std::string& v) const { return {{"type", "string"}, {"value", v}}; }
    json operator()(bool v) const { return {{"type", "bool"}, {"value", v}}; }
    json operator()(std::int64_t v) const { return {{"type", "integer"}, {"value", v}}; }
    json operator()(double v) const { return {{"type", "double"}, {"value", encodeDouble(v)}}; }
    json operator()(const StoredDate& v) const { return {{"type", "date"}, {"value", isoUtcString(v)}}; }
    json operator()(const StoredData& v) const { return {{"type", "data"}, {"value", base64Encode(v)}}; }
    json operator()(const DoubleDictionary& v) const {
        json values = json::object();
        for (const auto& [key, d] : v)
            values[key] = encodeDouble(d);
        return {{"type", "doubleDictionary"}, {"value", std::move(values)}};
    }
    json operator()(const BoolDictionary& v) const {
        return {{"type", "boolDictionary"}, {"value", json(v)}};
    }
};

bool parseDigits(std::string_view text, std::size_t pos, std::size_t count, int& out) {
    if (pos + count > text.size())
        return false;
    out = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

nlohmann::json encodeStoredValue(const StoredValue& value) {
    return std::visit(Encoder{}, value);
}

std::optional<StoredValue> decodeStoredValue(const nlohmann::json& entry) {
    if (!entry.is_object())
        return std::nullopt;
    auto type = entry.find("type");
    auto value = entry.find("value");
    if (type == entry.end() || value == entry.end() || !type->is_string())
        return std::nullopt;
    const auto& tag = type->get_ref<const std::string&>();
    const json& v = *value;
    if (tag == "string" && v.is_string())
        return StoredValue(v.get<std::string>());
    if (tag == "bool" && v.is_boolean())
        return StoredValue(v.get<bool>());
    if (tag == "integer" && v.is_number_integer()) {
        if (v.is_number_unsigned() && v.get<std::uint64_t>() > std::uint64_t(INT64_MAX))
            return std::nullopt;
        return StoredValue(v.get<std::int64_t>());
    }
    if (tag == "double")
        if (auto d = decodeDouble(v))
            return StoredValue(*d);
    if (tag == "date" && v.is_string())
        if (auto d = parseIsoUtc(v.get_ref<const std::string&>()))
            return StoredValue(*d);
    if (tag == "data" && v.is_string())
        if (auto d = base64Decode(v.get_ref<const std::string&>()))
            return StoredValue(std::move(*d));
    if (tag == "doubleDictionary" && v.is_object()) {
        DoubleDictionary out;
        for (const auto& [key, item] : v.items()) {
            auto d = decodeDouble(item);
            if (!d)
                return std::nullopt;
            out.emplace(key, *d);
        }
        return StoredValue(std::move(out));
    }
    if (tag == "boolDictionary" && v.is_object()) {
        BoolDictionary out;
        for (const auto& [key, item] : v.items()) {
            if (!item.is_boolean())
                return std::nullopt;
            out.emplace(key, item.get<bool>());
        }
        return StoredValue(std::move(out));
    }
    return std::nullopt;
}

std::string isoUtcString(StoredDate date) {
    return date::format("%FT%TZ", std::chrono::time_point_cast<std::chrono::nanoseconds>(date));
}

std::optional<StoredDate> parseIsoUtc(std::string_view text) {
    int year, month, day, hour, minute, second;
    if (text.size() < 20 || !parseDigits(text, 0, 4, year) || text[4] != '-' ||
        !parseDigits(text, 5, 2, month) || text[7] != '-' || !parseDigits(text, 8, 2, day) ||
        text[10] != 'T' || !parseDigits(text, 11, 2, hour) || text[13] != ':' ||
        !parseDigits(text, 14, 2, minute) || text[16] != ':' || !parseDigits(text, 17, 2, second))
        return std::nullopt;
    std::size_t pos = 19;
    long long nanos = 0;
    if (text[pos] == '.') {
        ++pos;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (++digits > 9)
                return std::nullopt;
            nanos = nanos * 10 + (text[pos] - '0');
            ++pos;
        }
        if (digits == 0)
            return std::nullopt;
        for (; digits < 9; ++digits)
            nanos *= 10;
    }
    if (pos + 1 != text.size() || text[pos] != 'Z')
        return std::nullopt;
    date::year_month_day ymd{date::year{year}, date::month{unsigned(month)}, date::day{unsigned(day)}};
    // The nanosecond clock spans roughly 1677 to 2262.
    if (!ymd.ok() || year < 1678 || year > 2261 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    auto time = date::sys_days{ymd} + std::chrono::hours{hour} + std::chrono::minutes{minute} +
                std::chrono::seconds{second} + std::chrono::nanoseconds{nanos};
    return std::chrono::time_point_cast<StoredDate::duration>(time);
}

} // namespace brivio
