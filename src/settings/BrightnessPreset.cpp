#include "settings/BrightnessPreset.h"

#include "settings/RecordJson.h"

#include <algorithm>
#include <cmath>

namespace brivio {

namespace {

using nlohmann::json;

constexpr Uuid builtInID(std::uint8_t n) {
    return Uuid(Uuid::Bytes{0, 0, 0, n});
}

// Missing or null both mean absent; any other non-number fails the element.
bool readOptionalNumber(const json& object, const char* key, std::optional<double>& out) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    if (!it->is_number())
        return false;
    out = it->get<double>();
    return true;
}

bool readOptionalString(const json& object, const char* key, std::optional<std::string>& out) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    if (!it->is_string())
        return false;
    out = it->get<std::string>();
    return true;
}

std::optional<BrightnessPreset> decodePreset(const json& object) {
    if (!object.is_object())
        return std::nullopt;
    auto idText = jsonString(object, "id");
    auto name = jsonString(object, "name");
    auto brightness = jsonNumber(object, "brightness");
    if (!idText || !name || !brightness)
        return std::nullopt;
    auto id = Uuid::parse(*idText);
    if (!id)
        return std::nullopt;
    BrightnessPreset preset{*id, std::move(*name), *brightness, {}, {}, {}};
    if (!readOptionalNumber(object, "contrast", preset.contrast) ||
        !readOptionalNumber(object, "volume", preset.volume) ||
        !readOptionalString(object, "icon", preset.icon))
        return std::nullopt;
    return preset;
}

} // namespace

const std::vector<BrightnessPreset>& builtInPresets() {
    static const std::vector<BrightnessPreset> presets{
        {builtInID(1), "Night", 0.2, 0.6, 0.3, "moon.fill"},
        {builtInID(2), "Work", 0.65, 0.75, 0.5, "laptopcomputer"},
        {builtInID(3), "Movie", 0.45, 0.85, 0.7, "film.fill"},
    };
    return presets;
}

const BrightnessPreset* builtInPreset(const Uuid& id) {
    const auto& presets = builtInPresets();
    auto it = std::find_if(presets.begin(), presets.end(), [&](const auto& p) { return p.id == id; });
    return it == presets.end() ? nullptr : &*it;
}

bool isBuiltInPresetID(const Uuid& id) {
    return builtInPreset(id) != nullptr;
}

std::string BrightnessPreset::iconName() const {
    const auto* builtIn = builtInPreset(id);
    const auto& chosen = builtIn ? builtIn->icon : icon;
    return chosen.value_or(defaultPresetIcon);
}

std::optional<StoredData> encodePresetList(const std::vector<BrightnessPreset>& presets) {
    json array = json::array();
    auto finite = [](const std::optional<double>& v) { return !v || std::isfinite(*v); };
    for (const auto& p : presets) {
        // JSON has no NaN or infinity; such a list is not encodable and must not replace what is stored.
        if (!std::isfinite(p.brightness) || !finite(p.contrast) || !finite(p.volume))
            return std::nullopt;
        json object{{"id", p.id.toString()}, {"name", p.name}, {"brightness", p.brightness}};
        if (p.contrast)
            object["contrast"] = *p.contrast;
        if (p.volume)
            object["volume"] = *p.volume;
        if (p.icon)
            object["icon"] = *p.icon;
        array.push_back(std::move(object));
    }
    return serializeRecordArray(array);
}

std::optional<std::vector<BrightnessPreset>> decodePresetList(const StoredData& data) {
    auto array = parseRecordArray(data);
    if (!array)
        return std::nullopt;
    std::vector<BrightnessPreset> presets;
    presets.reserve(array->size());
    for (const auto& element : *array) {
        auto preset = decodePreset(element);
        if (!preset)
            return std::nullopt;
        presets.push_back(std::move(*preset));
    }
    return presets;
}

} // namespace brivio
