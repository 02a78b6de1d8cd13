#include "platform/linux/GammaBaselines.h"

#include "base/BoundedJson.h"
#include "base/Log.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

namespace brivio {

namespace {

// Far beyond any real CRTC (4096 is common), so a damaged file cannot make huge allocations.
constexpr std::size_t maxRampSize = 65536;
// Room for many displays at the largest ramps; the document is three levels deep.
constexpr JsonLimits baselineLimits{32u << 20, 8};

float sampleRamp(const std::vector<std::uint16_t>& ramp, double at) {
    const std::size_t last = ramp.size() - 1;
    const double pos = at * static_cast<double>(last);
    const std::size_t lo = std::min(static_cast<std::size_t>(pos), last);
    const std::size_t hi = std::min(lo + 1, last);
    const double t = pos - static_cast<double>(lo);
    return static_cast<float>((ramp[lo] * (1 - t) + ramp[hi] * t) / 65535.0);
}

std::uint16_t sampleTable(const GammaChannel& table, double at) {
    const std::size_t last = table.size() - 1;
    const double pos = at * static_cast<double>(last);
    const std::size_t lo = std::min(static_cast<std::size_t>(pos), last);
    const std::size_t hi = std::min(lo + 1, last);
    const double t = pos - static_cast<double>(lo);
    double v = table[lo] * (1 - t) + table[hi] * t;
    if (!std::isfinite(v))
        v = 0;
    return static_cast<std::uint16_t>(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0));
}

void fillChannel(GammaChannel& out, const std::vector<std::uint16_t>& ramp) {
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = ramp.size() == 1 ? ramp[0] / 65535.0f
                                  : sampleRamp(ramp, static_cast<double>(i) / (out.size() - 1));
}

std::vector<std::uint16_t> channelRamp(const GammaChannel& table, std::size_t size) {
    std::vector<std::uint16_t> out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = sampleTable(table, size == 1 ? 0.0 : static_cast<double>(i) / (size - 1));
    return out;
}

std::optional<std::vector<std::uint16_t>> channelFromJson(const nlohmann::json& j) {
    if (!j.is_array() || j.empty() || j.size() > maxRampSize)
        return std::nullopt;
    std::vector<std::uint16_t> out;
    out.reserve(j.size());
    for (const auto& v : j) {
        if (!v.is_number_unsigned() || v.get<std::uint64_t>() > 65535)
            return std::nullopt;
        out.push_back(static_cast<std::uint16_t>(v.get<std::uint64_t>()));
    }
    return out;
}

} // namespace

GammaTables tablesFromRamp(const GammaRamp& ramp) {
    GammaTables tables;
    if (ramp.size() == 0 || ramp.green.size() != ramp.size() || ramp.blue.size() != ramp.size())
        return tables;
    fillChannel(tables.red, ramp.red);
    fillChannel(tables.green, ramp.green);
    fillChannel(tables.blue, ramp.blue);
    return tables;
}

GammaRamp rampFromTables(const GammaTables& tables, std::size_t size) {
    return {channelRamp(tables.red, size), channelRamp(tables.green, size), channelRamp(tables.blue, size)};
}

std::optional<std::filesystem::path> defaultStateDir() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::filesystem::path(state) / "brivio";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "state" / "brivio";
    return std::nullopt;
}

GammaBaselines::GammaBaselines(std::filesystem::path file) : file_(std::move(file)) {
    if (file_.empty())
        return;
    BoundedRead stored = readBoundedFile(file_.string(), baselineLimits.maxBytes);
    if (stored.status == BoundedReadStatus::missing)
        return;
    auto parsed = stored.status == BoundedReadStatus::ok ? parseBoundedJson(stored.contents, baselineLimits)
                                                         : std::nullopt;
    if (!parsed || !parsed->is_object()) {
        logError(LogCategory::overlay, "Gamma: {} is damaged — ignored", file_.string());
        return;
    }
    const nlohmann::json& j = *parsed;
    for (const auto& [key, value] : j.items()) {
        if (!value.is_object())
            continue;
        auto red = channelFromJson(value.value("red", nlohmann::json()));
        auto green = channelFromJson(value.value("green", nlohmann::json()));
        auto blue = channelFromJson(value.value("blue", nlohmann::json()));
        if (red && green && blue && red->size() == green->size() && red->size() == blue->size())
            ramps_[key] = {std::move(*red), std::move(*green), std::move(*blue)};
    }
    if (!ramps_.empty())
        logInfo(LogCategory::overlay,
                "Gamma: an earlier run left {} display(s) changed; their gamma will be "
                "put back",
                ramps_.size());
}

const GammaRamp& GammaBaselines::remember(const std::string& key, const GammaRamp& current) {
    auto [it, added] = ramps_.try_emplace(key, current);
    if (added)
        save();
    return it->second;
}

const GammaRamp* GammaBaselines::find(const std::string& key) const {
    auto it = ramps_.find(key);
    return it == ramps_.end() ? nullptr : &it->second;
}

void GammaBaselines::clear() {
    ramps_.clear();
    if (file_.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(file_, ec);
}

void GammaBaselines::save() const {
    if (file_.empty())
        return;
    nlohmann::json j = nlohmann::json::object();
    for (const auto& [key, ramp] : ramps_)
        j[key] = {{"red", ramp.red}, {"green", ramp.green}, {"blue", ramp.blue}};
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    // Written beside and moved over, so a crash while writing leaves the old file whole.
    auto temp = file_;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << j.dump();
        if (!out) {
            logError(LogCategory::overlay, "Gamma: cannot write {} — a crash could leave a display dimmed",
                     file_.string());
            return;
        }
    }
    std::filesystem::rename(temp, file_, ec);
}

} // namespace brivio
