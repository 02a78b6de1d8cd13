#include "settings/BrivioPreferences.h"

#include "base/Log.h"
#include "settings/Level.h"
#include "settings/PreferenceKeys.h"

#include <algorithm>
#include <cmath>

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
                                std::map<std::string, StoredValue>& unreadable) {
    auto stored = store.get(key);
    if (!stored)
        return {};
    if (auto* data = std::get_if<StoredData>(&*stored))
        if (auto records = decode(*data))
            return std::move(*records);
    unreadable[key] = std::move(*stored);
    return {};
}

// The form each key is stored in; a value of another form is read as absent.
enum class StoredForm { doubles, bools, text, flag, number, date };

bool hasForm(const StoredValue& value, StoredForm form) {
    switch (form) {
    case StoredForm::doubles:
        return std::holds_alternative<DoubleDictionary>(value);
    case StoredForm::bools:
        return std::holds_alternative<BoolDictionary>(value);
    case StoredForm::text:
        return std::holds_alternative<std::string>(value);
    case StoredForm::flag:
        return std::holds_alternative<bool>(value);
    case StoredForm::number:
        return std::holds_alternative<double>(value) || std::holds_alternative<std::int64_t>(value);
    case StoredForm::date:
        return std::holds_alternative<StoredDate>(value);
    }
    return false;
}

const std::pair<const char*, StoredForm> storedForms[] = {
    {prefkeys::perDisplayBrightness, StoredForm::doubles},
    {prefkeys::perDisplayContrast, StoredForm::doubles},
    {prefkeys::perDisplayVolume, StoredForm::doubles},
    {prefkeys::syncLeaderKey, StoredForm::text},
    {prefkeys::globalActivePreset, StoredForm::text},
    {prefkeys::externalOverlayDimming, StoredForm::bools},
    {prefkeys::ddcReplyWait, StoredForm::doubles},
    {prefkeys::brightnessStep, StoredForm::number},
    {prefkeys::showSliderPercentage, StoredForm::flag},
    {prefkeys::solarEnabled, StoredForm::flag},
    {prefkeys::solarNightLevel, StoredForm::number},
    {prefkeys::solarDayLevel, StoredForm::number},
    {prefkeys::solarPausedUntil, StoredForm::date},
    {prefkeys::selectedTheme, StoredForm::text},
    {prefkeys::hasSeenWelcome, StoredForm::flag},
    {prefkeys::brightnessUpKeyCode, StoredForm::number},
    {prefkeys::brightnessUpModifiers, StoredForm::number},
    {prefkeys::brightnessDownKeyCode, StoredForm::number},
    {prefkeys::brightnessDownModifiers, StoredForm::number},
    {prefkeys::locationLatitude, StoredForm::number},
    {prefkeys::locationLongitude, StoredForm::number},
};

// A level (or step) that is not a number is not one at all: it reads as absent.
std::map<std::string, double> levelMap(std::optional<DoubleDictionary> stored) {
    std::map<std::string, double> levels = stored.value_or(DoubleDictionary{});
    std::erase_if(levels, [](const auto& entry) { return std::isnan(entry.second); });
    return levels;
}

std::optional<double> unlessNaN(std::optional<double> stored) {
    return stored && !std::isnan(*stored) ? stored : std::nullopt;
}

} // namespace

BrivioPreferences::BrivioPreferences(KeyValueStore& defaults, StampClock stampClock)
    : defaults_(defaults), stampClock_(stampClock ? std::move(stampClock) : systemStampClock()) {
    load();
    elsewhere_ = defaults_.changedElsewhere.subscribe(
        [this](const std::string& key, const std::optional<StoredValue>& before) {
            takeInChange(key, before);
        });
}

void BrivioPreferences::load() {
    displayExpandedByKey_.clear();
    presetsCardExpanded_ = true;
    scheduleCardExpanded_ = true;
    for (const auto& [key, form] : storedForms)
        loadKey(key);
    loadKey(prefkeys::globalPresets);
    loadKey(prefkeys::schedules);
}

void BrivioPreferences::loadKey(const std::string& key) {
    // A value of another form than its key's is kept aside before the first write replaces it.
    unreadable_.erase(key);
    for (const auto& [known, form] : storedForms)
        if (key == known)
            if (auto stored = defaults_.get(key); stored && !hasForm(*stored, form))
                unreadable_[key] = std::move(*stored);

    // A map with any value of another type is not read at all (it holds no such values here).
    if (key == prefkeys::perDisplayBrightness)
        brightnessByDisplay_ = levelMap(defaults_.getAs<DoubleDictionary>(key));
    else if (key == prefkeys::perDisplayContrast)
        contrastByDisplay_ = levelMap(defaults_.getAs<DoubleDictionary>(key));
    else if (key == prefkeys::perDisplayVolume)
        volumeByDisplay_ = levelMap(defaults_.getAs<DoubleDictionary>(key));
    else if (key == prefkeys::syncLeaderKey)
        syncLeaderKey_ = defaults_.getAs<std::string>(key);
    else if (key == prefkeys::globalPresets)
        globalPresetList_ = loadRecords(defaults_, prefkeys::globalPresets, &decodePresetList, unreadable_);
    else if (key == prefkeys::globalActivePreset)
        globalActivePresetIDStr_ = defaults_.getAs<std::string>(key);
    else if (key == prefkeys::externalOverlayDimming)
        externalOverlayDimmingByDisplay_ = defaults_.getAs<BoolDictionary>(key).value_or(BoolDictionary{});
    else if (key == prefkeys::ddcReplyWait)
        ddcReplyWaitByDisplay_ = defaults_.getAs<DoubleDictionary>(key).value_or(DoubleDictionary{});
    else if (key == prefkeys::schedules)
        scheduleList_ = loadRecords(defaults_, prefkeys::schedules, &decodeScheduleList, unreadable_);
    else if (key == prefkeys::brightnessStep)
        brightnessStep_ = unlessNaN(defaults_.getNumber(key)).value_or(0.0625);
    else if (key == prefkeys::showSliderPercentage)
        showSliderPercentage_ = defaults_.getAs<bool>(key).value_or(true);
    else if (key == prefkeys::solarEnabled)
        solarCurveEnabled_ = defaults_.getAs<bool>(key).value_or(false);
    // Stored levels are taken as they are; only new writes clamp.
    else if (key == prefkeys::solarNightLevel)
        solarNightLevel_ = unlessNaN(defaults_.getNumber(key)).value_or(0.3);
    else if (key == prefkeys::solarDayLevel)
        solarDayLevel_ = unlessNaN(defaults_.getNumber(key)).value_or(1.0);
    // A pause in the past loads unchanged; the schedule engine clears it.
    else if (key == prefkeys::solarPausedUntil)
        solarPausedUntil_ = defaults_.getAs<StoredDate>(key);
    else if (key == prefkeys::selectedTheme) {
        auto theme = defaults_.getAs<std::string>(key).value_or("haze");
        selectedTheme_ = sliderThemeFromRawValue(theme).value_or(SliderTheme::haze);
        setCurrentTheme(selectedTheme_);
    }
}

namespace {

// The entries of a stored map that differ between two of its values (set, changed or removed).
template <typename Map>
std::vector<std::string> changedEntries(const std::optional<StoredValue>& before, const Map& after) {
    const Map* old = before ? std::get_if<Map>(&*before) : nullptr;
    Map empty;
    if (!old)
        old = &empty;
    std::vector<std::string> keys;
    for (const auto& [key, value] : after)
        if (auto it = old->find(key); it == old->end() || !(it->second == value))
            keys.push_back(key);
    for (const auto& [key, value] : *old)
        if (!after.count(key))
            keys.push_back(key);
    return keys;
}

// Takes the listed entries of the stored map into the one in memory, whose other entries (values in
// motion, say) stay as they are.
template <typename Map>
void mergeEntries(Map& inMemory, const Map& stored, const std::vector<std::string>& keys) {
    for (const auto& key : keys) {
        if (auto it = stored.find(key); it != stored.end())
            inMemory[key] = it->second;
        else
            inMemory.erase(key);
    }
}

} // namespace

void BrivioPreferences::takeInChange(const std::string& key, const std::optional<StoredValue>& before) {
    ExternalChange change{key, {}};
    auto mergeLevels = [&](std::map<std::string, double>& map) {
        auto stored = levelMap(defaults_.getAs<DoubleDictionary>(key));
        change.displayKeys = changedEntries(before, DoubleDictionary(stored.begin(), stored.end()));
        mergeEntries(map, stored, change.displayKeys);
    };
    willChange.emit();
    if (key == prefkeys::perDisplayBrightness) {
        mergeLevels(brightnessByDisplay_);
    } else if (key == prefkeys::perDisplayContrast) {
        mergeLevels(contrastByDisplay_);
    } else if (key == prefkeys::perDisplayVolume) {
        mergeLevels(volumeByDisplay_);
    } else if (key == prefkeys::externalOverlayDimming) {
        auto stored = defaults_.getAs<BoolDictionary>(key).value_or(BoolDictionary{});
        change.displayKeys = changedEntries(before, stored);
        mergeEntries(externalOverlayDimmingByDisplay_, stored, change.displayKeys);
    } else {
        loadKey(key);
    }
    changedElsewhere.emit(change);
}

void BrivioPreferences::setLevel(std::map<std::string, double>& map, const char* storeKey,
                                 const std::string& key, double value) {
    willChange.emit();
    map[key] = clampLevel(value);
    store(storeKey, DoubleDictionary(map.begin(), map.end()));
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
    store(prefkeys::externalOverlayDimming,
          BoolDictionary(externalOverlayDimmingByDisplay_.begin(), externalOverlayDimmingByDisplay_.end()));
}

void BrivioPreferences::setDDCReplyWait(const std::string& key, int scale) {
    // Not shown anywhere: no change to announce.
    ddcReplyWaitByDisplay_[key] = scale;
    store(prefkeys::ddcReplyWait,
          DoubleDictionary(ddcReplyWaitByDisplay_.begin(), ddcReplyWaitByDisplay_.end()));
}

void BrivioPreferences::setSyncLeaderKey(std::optional<std::string> key) {
    willChange.emit();
    syncLeaderKey_ = std::move(key);
    if (syncLeaderKey_)
        store(prefkeys::syncLeaderKey, *syncLeaderKey_);
    else
        erase(prefkeys::syncLeaderKey);
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

bool BrivioPreferences::upsertPreset(const BrightnessPreset& preset) {
    auto presets = globalPresets();
    auto it = std::find_if(presets.begin(), presets.end(), [&](const auto& p) { return p.id == preset.id; });
    if (it != presets.end())
        *it = preset;
    else if (presets.size() >= maxPresetCount)
        return false;
    else
        presets.push_back(preset);
    willChange.emit();
    globalPresetList_ = std::move(presets);
    return writePresets();
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
        store(prefkeys::globalActivePreset, *globalActivePresetIDStr_);
    } else {
        globalActivePresetIDStr_.reset();
        erase(prefkeys::globalActivePreset);
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

void BrivioPreferences::keepUnreadable(const char* key) {
    auto it = unreadable_.find(key);
    if (it == unreadable_.end())
        return;
    std::string sideKey = std::string(key) + ".unreadable-" + compactUtcStamp(stampClock_());
    StoredValue value = std::move(it->second);
    unreadable_.erase(it);
    defaults_.set(sideKey, std::move(value));
    logError(LogCategory::controller, "Stored {} could not be read; kept a copy under {} before replacing it",
             key, sideKey);
}

void BrivioPreferences::store(const char* key, StoredValue value) {
    keepUnreadable(key);
    defaults_.set(key, std::move(value));
}

void BrivioPreferences::erase(const char* key) {
    keepUnreadable(key);
    defaults_.remove(key);
}

bool BrivioPreferences::writePresets() {
    // When encoding fails the stored data stays; the in-memory list already holds the change.
    auto data = encodePresetList(globalPresetList_);
    if (!data)
        return false;
    store(prefkeys::globalPresets, std::move(*data));
    return true;
}

void BrivioPreferences::writeSchedules() {
    auto data = encodeScheduleList(scheduleList_);
    if (!data)
        return;
    store(prefkeys::schedules, std::move(*data));
}

void BrivioPreferences::setBrightnessStep(double step) {
    willChange.emit();
    brightnessStep_ = step;
    store(prefkeys::brightnessStep, step);
}

void BrivioPreferences::setShowSliderPercentage(bool show) {
    willChange.emit();
    showSliderPercentage_ = show;
    store(prefkeys::showSliderPercentage, show);
}

void BrivioPreferences::setSolarCurveEnabled(bool enabled) {
    willChange.emit();
    solarCurveEnabled_ = enabled;
    store(prefkeys::solarEnabled, enabled);
    if (!enabled)
        return;
    willChange.emit();
    solarPausedUntil_.reset();
    erase(prefkeys::solarPausedUntil);
    setActivePresetID(std::nullopt);
}

void BrivioPreferences::setSolarLevels(double night, double day) {
    willChange.emit();
    solarNightLevel_ = clampLevel(night);
    willChange.emit();
    solarDayLevel_ = clampLevel(day);
    store(prefkeys::solarNightLevel, solarNightLevel_);
    store(prefkeys::solarDayLevel, solarDayLevel_);
}

void BrivioPreferences::setSolarPausedUntil(const std::optional<StoredDate>& until) {
    willChange.emit();
    solarPausedUntil_ = until;
    if (until)
        store(prefkeys::solarPausedUntil, *until);
    else
        erase(prefkeys::solarPausedUntil);
}

void BrivioPreferences::setSelectedTheme(SliderTheme theme) {
    willChange.emit();
    selectedTheme_ = theme;
    store(prefkeys::selectedTheme, std::string(rawValue(theme)));
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
    store(prefkeys::hasSeenWelcome, seen);
}

std::optional<std::int64_t> BrivioPreferences::shortcutKeyCode(ShortcutAction action) const {
    return defaults_.getAs<std::int64_t>(keyCodeKey(action));
}

std::optional<std::int64_t> BrivioPreferences::shortcutModifiers(ShortcutAction action) const {
    return defaults_.getAs<std::int64_t>(modifiersKey(action));
}

void BrivioPreferences::setShortcutKeyCode(ShortcutAction action, std::int64_t keyCode) {
    store(keyCodeKey(action), keyCode);
}

void BrivioPreferences::setShortcutModifiers(ShortcutAction action, std::int64_t modifiers) {
    store(modifiersKey(action), modifiers);
}

double BrivioPreferences::storedLatitude() const {
    return defaults_.getNumber(prefkeys::locationLatitude).value_or(0);
}

double BrivioPreferences::storedLongitude() const {
    return defaults_.getNumber(prefkeys::locationLongitude).value_or(0);
}

void BrivioPreferences::setStoredLocation(double latitude, double longitude) {
    store(prefkeys::locationLatitude, latitude);
    store(prefkeys::locationLongitude, longitude);
}

} // namespace brivio
