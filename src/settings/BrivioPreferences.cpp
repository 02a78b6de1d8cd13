#include "settings/BrivioPreferences.h"

#include "base/Log.h"
#include "settings/Level.h"
#include "settings/PreferenceKeys.h"

#include <algorithm>

namespace brivio {

namespace {

const char* keyCodeKey(ShortcutAction action) {
    return action == ShortcutAction::brightnessUp ? prefkeys::brightnessUpKeyCode
                                                  : prefkeys::brightnessDownKeyCode;
}

const char* modifiersKey(ShortcutAction action) {
    return action == ShortcutAction::brightnessUp ? prefkeys::brightnessUpModifiers
                                                  : prefkeys::brightnessDownModifiers;
}

// The list under `key`, and whether stored data was there that did not decode.
template <typename Record>
std::vector<Record> loadRecords(const KeyValueStore& store, const char* key,
                                std::optional<std::vector<Record>> (*decode)(const StoredData&),
                                std::optional<StoredValue>& unreadable) {
    auto stored = store.get(key);
    if (!stored)
        return {};
    if (auto* data = std::get_if<StoredData>(&*stored))
        if (auto records = decode(*data))
            return std::move(*records);
    unreadable = std::move(stored);
    return {};
}

} // namespace

BrivioPreferences::BrivioPreferences(KeyValueStore& defaults, StampClock stampClock)
    : defaults_(defaults), stampClock_(stampClock ? std::move(stampClock) : systemStampClock()) {
    load();
}

void BrivioPreferences::load() {
    displayExpandedByKey_.clear();
    presetsCardExpanded_ = true;
    scheduleCardExpanded_ = true;

    // A map with any value of another type is not read at all (it holds no such values here).
    brightnessByDisplay_ =
        defaults_.getAs<DoubleDictionary>(prefkeys::perDisplayBrightness).value_or(DoubleDictionary{});
    contrastByDisplay_ =
        defaults_.getAs<DoubleDictionary>(prefkeys::perDisplayContrast).value_or(DoubleDictionary{});
    volumeByDisplay_ =
        defaults_.getAs<DoubleDictionary>(prefkeys::perDisplayVolume).value_or(DoubleDictionary{});
    syncLeaderKey_ = defaults_.getAs<std::string>(prefkeys::syncLeaderKey);
    globalPresetList_ =
        loadRecords(defaults_, prefkeys::globalPresets, &decodePresetList, unreadablePresets_);
    globalActivePresetIDStr_ = defaults_.getAs<std::string>(prefkeys::globalActivePreset);
    externalOverlayDimmingByDisplay_ =
        defaults_.getAs<BoolDictionary>(prefkeys::externalOverlayDimming).value_or(BoolDictionary{});
    scheduleList_ = loadRecords(defaults_, prefkeys::schedules, &decodeScheduleList, unreadableSchedules_);
    brightnessStep_ = defaults_.getNumber(prefkeys::brightnessStep).value_or(0.0625);
    showSliderPercentage_ = defaults_.getAs<bool>(prefkeys::showSliderPercentage).value_or(true);
    solarCurveEnabled_ = defaults_.getAs<bool>(prefkeys::solarEnabled).value_or(false);
    // Stored levels are taken as they are; only new writes clamp.
    solarNightLevel_ = defaults_.getNumber(prefkeys::solarNightLevel).value_or(0.3);
    solarDayLevel_ = defaults_.getNumber(prefkeys::solarDayLevel).value_or(1.0);
    // A pause in the past loads unchanged; the schedule engine clears it.
    solarPausedUntil_ = defaults_.getAs<StoredDate>(prefkeys::solarPausedUntil);
    auto theme = defaults_.getAs<std::string>(prefkeys::selectedTheme).value_or("haze");
    selectedTheme_ = sliderThemeFromRawValue(theme).value_or(SliderTheme::haze);
    setCurrentTheme(selectedTheme_);
}

void BrivioPreferences::setLevel(std::map<std::string, double>& map, const char* storeKey,
                                 const std::string& key, double value) {
    willChange.emit();
    map[key] = clampLevel(value);
    defaults_.set(storeKey, DoubleDictionary(map.begin(), map.end()));
}

void BrivioPreferences::setBrightnessInMemory(const std::string& key, double value) {
    willChange.emit();
    brightnessByDisplay_[key] = clampLevel(value);
}

void BrivioPreferences::setContrastInMemory(const std::string& key, double value) {
    willChange.emit();
    contrastByDisplay_[key] = clampLevel(value);
}

void BrivioPreferences::setVolumeInMemory(const std::string& key, double value) {
    willChange.emit();
    volumeByDisplay_[key] = clampLevel(value);
}

void BrivioPreferences::setBrightness(const std::string& key, double value) {
    setLevel(brightnessByDisplay_, prefkeys::perDisplayBrightness, key, value);
}

void BrivioPreferences::setContrast(const std::string& key, double value) {
    setLevel(contrastByDisplay_, prefkeys::perDisplayContrast, key, value);
}

void BrivioPreferences::setVolume(const std::string& key, double value) {
    setLevel(volumeByDisplay_, prefkeys::perDisplayVolume, key, value);
}

void BrivioPreferences::setExternalOverlayDimming(const std::string& key, bool enabled) {
    willChange.emit();
    externalOverlayDimmingByDisplay_[key] = enabled;
    defaults_.set(prefkeys::externalOverlayDimming, BoolDictionary(externalOverlayDimmingByDisplay_.begin(),
                                                                   externalOverlayDimmingByDisplay_.end()));
}

void BrivioPreferences::setSyncLeaderKey(std::optional<std::string> key) {
    willChange.emit();
    syncLeaderKey_ = std::move(key);
    if (syncLeaderKey_)
        defaults_.set(prefkeys::syncLeaderKey, *syncLeaderKey_);
    else
        defaults_.remove(prefkeys::syncLeaderKey);
}

std::vector<BrightnessPreset> BrivioPreferences::globalPresets() const {
    if (globalPresetList_.empty())
        return builtInPresets();
    std::vector<BrightnessPreset> presets;
    presets.reserve(globalPresetList_.size());
    for (const auto& stored : globalPresetList_) {
        if (const auto* builtIn = builtInPreset(stored.id)) {
            BrightnessPreset overlaid = *builtIn;
            overlaid.name = stored.name;
            presets.push_back(std::move(overlaid));
        } else {
            presets.push_back(stored);
        }
    }
    return presets;
}

void BrivioPreferences::upsertPreset(const BrightnessPreset& preset) {
    auto presets = globalPresets();
    auto it = std::find_if(presets.begin(), presets.end(), [&](const auto& p) { return p.id == preset.id; });
    if (it != presets.end())
        *it = preset;
    else if (presets.size() >= maxPresetCount)
        return;
    else
        presets.push_back(preset);
    willChange.emit();
    globalPresetList_ = std::move(presets);
    writePresets();
}

void BrivioPreferences::deletePreset(const Uuid& id) {
    if (isBuiltInPresetID(id))
        return;
    auto presets = globalPresets();
    std::erase_if(presets, [&](const auto& p) { return p.id == id; });
    willChange.emit();
    globalPresetList_ = std::move(presets);
    writePresets();
    if (globalActivePresetIDStr_ && Uuid::parse(*globalActivePresetIDStr_) == id)
        setActivePresetID(std::nullopt);
}

void BrivioPreferences::setActivePresetID(const std::optional<Uuid>& id) {
    willChange.emit();
    if (id) {
        globalActivePresetIDStr_ = id->toString();
        defaults_.set(prefkeys::globalActivePreset, *globalActivePresetIDStr_);
    } else {
        globalActivePresetIDStr_.reset();
        defaults_.remove(prefkeys::globalActivePreset);
    }
}

void BrivioPreferences::upsertSchedule(const PresetSchedule& schedule) {
    auto schedules = scheduleList_;
    auto it =
        std::find_if(schedules.begin(), schedules.end(), [&](const auto& s) { return s.id == schedule.id; });
    if (it != schedules.end())
        *it = schedule;
    else if (schedules.size() >= maxScheduleCount)
        return;
    else
        schedules.push_back(schedule);
    willChange.emit();
    scheduleList_ = std::move(schedules);
    writeSchedules();
}

void BrivioPreferences::deleteSchedule(const Uuid& id) {
    auto schedules = scheduleList_;
    std::erase_if(schedules, [&](const auto& s) { return s.id == id; });
    willChange.emit();
    scheduleList_ = std::move(schedules);
    writeSchedules();
}

void BrivioPreferences::toggleSchedule(const Uuid& id) {
    auto schedules = scheduleList_;
    auto it = std::find_if(schedules.begin(), schedules.end(), [&](const auto& s) { return s.id == id; });
    if (it == schedules.end())
        return;
    it->isEnabled = !it->isEnabled;
    willChange.emit();
    scheduleList_ = std::move(schedules);
    writeSchedules();
}

void BrivioPreferences::keepUnreadable(std::optional<StoredValue>& unreadable, const char* key) {
    if (!unreadable)
        return;
    std::string sideKey = std::string(key) + ".unreadable-" + compactUtcStamp(stampClock_());
    defaults_.set(sideKey, std::move(*unreadable));
    unreadable.reset();
    logError(LogCategory::controller, "Stored {} could not be read; kept a copy under {} before replacing it",
             key, sideKey);
}

void BrivioPreferences::writePresets() {
    // When encoding fails the stored data stays; the in-memory list already holds the change.
    auto data = encodePresetList(globalPresetList_);
    if (!data)
        return;
    keepUnreadable(unreadablePresets_, prefkeys::globalPresets);
    defaults_.set(prefkeys::globalPresets, std::move(*data));
}

void BrivioPreferences::writeSchedules() {
    auto data = encodeScheduleList(scheduleList_);
    if (!data)
        return;
    keepUnreadable(unreadableSchedules_, prefkeys::schedules);
    defaults_.set(prefkeys::schedules, std::move(*data));
}

void BrivioPreferences::setBrightnessStep(double step) {
    willChange.emit();
    brightnessStep_ = step;
    defaults_.set(prefkeys::brightnessStep, step);
}

void BrivioPreferences::setShowSliderPercentage(bool show) {
    willChange.emit();
    showSliderPercentage_ = show;
    defaults_.set(prefkeys::showSliderPercentage, show);
}

void BrivioPreferences::setSolarCurveEnabled(bool enabled) {
    willChange.emit();
    solarCurveEnabled_ = enabled;
    defaults_.set(prefkeys::solarEnabled, enabled);
    if (!enabled)
        return;
    willChange.emit();
    solarPausedUntil_.reset();
    defaults_.remove(prefkeys::solarPausedUntil);
    setActivePresetID(std::nullopt);
}

void BrivioPreferences::setSolarLevels(double night, double day) {
    willChange.emit();
    solarNightLevel_ = clampLevel(night);
    willChange.emit();
    solarDayLevel_ = clampLevel(day);
    defaults_.set(prefkeys::solarNightLevel, solarNightLevel_);
    defaults_.set(prefkeys::solarDayLevel, solarDayLevel_);
}

void BrivioPreferences::setSolarPausedUntil(const std::optional<StoredDate>& until) {
    willChange.emit();
    solarPausedUntil_ = until;
    if (until)
        defaults_.set(prefkeys::solarPausedUntil, *until);
    else
        defaults_.remove(prefkeys::solarPausedUntil);
}

void BrivioPreferences::setSelectedTheme(SliderTheme theme) {
    willChange.emit();
    selectedTheme_ = theme;
    defaults_.set(prefkeys::selectedTheme, std::string(rawValue(theme)));
    setCurrentTheme(theme);
}

void BrivioPreferences::setDisplayExpanded(const std::string& key, bool expanded) {
    willChange.emit();
    displayExpandedByKey_[key] = expanded;
}

void BrivioPreferences::setPresetsCardExpanded(bool expanded) {
    willChange.emit();
    presetsCardExpanded_ = expanded;
}

void BrivioPreferences::setScheduleCardExpanded(bool expanded) {
    willChange.emit();
    scheduleCardExpanded_ = expanded;
}

bool BrivioPreferences::hasSeenWelcome() const {
    return defaults_.getAs<bool>(prefkeys::hasSeenWelcome).value_or(false);
}

void BrivioPreferences::setHasSeenWelcome(bool seen) {
    defaults_.set(prefkeys::hasSeenWelcome, seen);
}

std::optional<std::int64_t> BrivioPreferences::shortcutKeyCode(ShortcutAction action) const {
    return defaults_.getAs<std::int64_t>(keyCodeKey(action));
}

std::optional<std::int64_t> BrivioPreferences::shortcutModifiers(ShortcutAction action) const {
    return defaults_.getAs<std::int64_t>(modifiersKey(action));
}

void BrivioPreferences::setShortcutKeyCode(ShortcutAction action, std::int64_t keyCode) {
    defaults_.set(keyCodeKey(action), keyCode);
}

void BrivioPreferences::setShortcutModifiers(ShortcutAction action, std::int64_t modifiers) {
    defaults_.set(modifiersKey(action), modifiers);
}

double BrivioPreferences::storedLatitude() const {
    return defaults_.getNumber(prefkeys::locationLatitude).value_or(0);
}

double BrivioPreferences::storedLongitude() const {
    return defaults_.getNumber(prefkeys::locationLongitude).value_or(0);
}

void BrivioPreferences::setStoredLocation(double latitude, double longitude) {
    defaults_.set(prefkeys::locationLatitude, latitude);
    defaults_.set(prefkeys::locationLongitude, longitude);
}

} // namespace brivio
