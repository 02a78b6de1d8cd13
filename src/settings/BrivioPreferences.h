#pragma once
// The owner of every setting kept between launches: loads them once from a key-value store, holds them
// as observable properties, and writes each change straight back under its key.

#include "base/Signal.h"
#include "settings/BrightnessPreset.h"
#include "settings/KeyValueStore.h"
#include "settings/PresetSchedule.h"
#include "settings/SliderTheme.h"
#include "settings/StampClock.h"
#include "settings/Uuid.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

enum class ShortcutAction { brightnessUp, brightnessDown };

class BrivioPreferences {
public:
    // Loads every setting (nothing is written). `stampClock` only names copies of unreadable lists.
    explicit BrivioPreferences(KeyValueStore& defaults, StampClock stampClock = nullptr);
    BrivioPreferences(const BrivioPreferences&) = delete;
    BrivioPreferences& operator=(const BrivioPreferences&) = delete;

    // Emitted before any observable property changes; subscribers then read what they need.
    Signal<> willChange;

    // A setting another process changed in the store, taken in as if it had been made here: the
    // store key, and for the per-display maps the displays whose entries were set or removed.
    struct ExternalChange {
        std::string key;
        std::vector<std::string> displayKeys;
    };
    // After such a change was taken in (`willChange` came first). Entries of a map that the other
    // process left alone keep their value here, even one in motion.
    Signal<const ExternalChange&> changedElsewhere;

    KeyValueStore& defaults() { return defaults_; }

    // Level maps, display stable key to a level in [0, 1].
    const std::map<std::string, double>& brightnessByDisplay() const { return brightnessByDisplay_; }
    const std::map<std::string, double>& contrastByDisplay() const { return contrastByDisplay_; }
    const std::map<std::string, double>& volumeByDisplay() const { return volumeByDisplay_; }
    const std::map<std::string, bool>& externalOverlayDimmingByDisplay() const {
        return externalOverlayDimmingByDisplay_;
    }
    void setBrightness(const std::string& key, double value);
    void setContrast(const std::string& key, double value);
    void setVolume(const std::string& key, double value);
    void setExternalOverlayDimming(const std::string& key, bool enabled);
    // How much longer than the usual DDC/CI waits each slow monitor needs (2 or 4), by stable key.
    const std::map<std::string, double>& ddcReplyWaitByDisplay() const { return ddcReplyWaitByDisplay_; }
    void setDDCReplyWait(const std::string& key, int scale);
    // The same maps changed without saving, for values in motion (an animation saves its end value).
    void setBrightnessInMemory(const std::string& key, double value);
    void setContrastInMemory(const std::string& key, double value);
    void setVolumeInMemory(const std::string& key, double value);

    const std::optional<std::string>& syncLeaderKey() const { return syncLeaderKey_; }
    void setSyncLeaderKey(std::optional<std::string> key);

    // Presets: the stored list, and the list as the application sees it (built-ins when nothing is
    // stored; stored built-ins keep their own name but the built-in levels and icon).
    const std::vector<BrightnessPreset>& globalPresetList() const { return globalPresetList_; }
    std::vector<BrightnessPreset> globalPresets() const;
    // Replaces the preset with the same id in place, else appends while fewer than six exist. True
    // when the list holding the preset was stored; false when six exist already (nothing changes) or
    // the list cannot be stored (a name that is not UTF-8, a list too large to read back), in which case
    // the list in memory holds it and the stored one stays as it was.
    bool upsertPreset(const BrightnessPreset& preset);
    // Built-ins are never removed; deleting the active preset clears the marker.
    void deletePreset(const Uuid& id);

    const std::optional<std::string>& globalActivePresetIDStr() const { return globalActivePresetIDStr_; }
    void setActivePresetID(const std::optional<Uuid>& id);

    const std::vector<PresetSchedule>& scheduleList() const { return scheduleList_; }
    // Replaces in place, else appends while fewer than five exist.
    void upsertSchedule(const PresetSchedule& schedule);
    void deleteSchedule(const Uuid& id);
    // Inverts `isEnabled` of the first schedule with the id; an unknown id changes nothing.
    void toggleSchedule(const Uuid& id);

    double brightnessStep() const { return brightnessStep_; }
    void setBrightnessStep(double step);
    bool showSliderPercentage() const { return showSliderPercentage_; }
    void setShowSliderPercentage(bool show);

    bool solarCurveEnabled() const { return solarCurveEnabled_; }
    // Turning the curve on also ends any pause and clears the active preset.
    void setSolarCurveEnabled(bool enabled);
    double solarNightLevel() const { return solarNightLevel_; }
    double solarDayLevel() const { return solarDayLevel_; }
    void setSolarLevels(double night, double day);
    const std::optional<StoredDate>& solarPausedUntil() const { return solarPausedUntil_; }
    // A time is written as a date; none removes the stored pause.
    void setSolarPausedUntil(const std::optional<StoredDate>& until);

    SliderTheme selectedTheme() const { return selectedTheme_; }
    // Also updates the process-wide current theme.
    void setSelectedTheme(SliderTheme theme);

    // Panel state, never stored.
    const std::map<std::string, bool>& displayExpandedByKey() const { return displayExpandedByKey_; }
    void setDisplayExpanded(const std::string& key, bool expanded);
    bool presetsCardExpanded() const { return presetsCardExpanded_; }
    void setPresetsCardExpanded(bool expanded);
    bool scheduleCardExpanded() const { return scheduleCardExpanded_; }
    void setScheduleCardExpanded(bool expanded);

    // Keys the shell, the shortcut recorder and the location provider own; read live from the store.
    bool hasSeenWelcome() const;
    void setHasSeenWelcome(bool seen);
    // Absent when not stored as an integer; the recorder reads that as -1, the hot-key engine as 0.
    std::optional<std::int64_t> shortcutKeyCode(ShortcutAction action) const;
    std::optional<std::int64_t> shortcutModifiers(ShortcutAction action) const;
    void setShortcutKeyCode(ShortcutAction action, std::int64_t keyCode);
    void setShortcutModifiers(ShortcutAction action, std::int64_t modifiers);
    // Degrees; 0 when absent. (0, 0) means that no position is stored.
    double storedLatitude() const;
    double storedLongitude() const;
    void setStoredLocation(double latitude, double longitude);

private:
    void load();
    void loadKey(const std::string& key);
    void takeInChange(const std::string& key, const std::optional<StoredValue>& before);
    void setLevel(std::map<std::string, double>& map, const char* storeKey, const std::string& key,
                  double value);
    bool writePresets();
    void writeSchedules();
    // Before the first write over stored data that could not be decoded, or that has another form
    // than its key's, keep that data under a key of its own, so that nothing is lost unseen.
    void keepUnreadable(const char* key);
    // Every write of a known key goes through these two.
    void store(const char* key, StoredValue value);
    void erase(const char* key);

    KeyValueStore& defaults_;
    StampClock stampClock_;

    std::map<std::string, double> brightnessByDisplay_;
    std::map<std::string, double> contrastByDisplay_;
    std::map<std::string, double> volumeByDisplay_;
    std::optional<std::string> syncLeaderKey_;
    std::vector<BrightnessPreset> globalPresetList_;
    std::optional<std::string> globalActivePresetIDStr_;
    std::map<std::string, bool> externalOverlayDimmingByDisplay_;
    std::map<std::string, double> ddcReplyWaitByDisplay_;
    std::vector<PresetSchedule> scheduleList_;
    double brightnessStep_ = 0.0625;
    bool showSliderPercentage_ = true;
    bool solarCurveEnabled_ = false;
    double solarNightLevel_ = 0.3;
    double solarDayLevel_ = 1.0;
    std::optional<StoredDate> solarPausedUntil_;
    std::map<std::string, bool> displayExpandedByKey_;
    bool presetsCardExpanded_ = true;
    bool scheduleCardExpanded_ = true;
    SliderTheme selectedTheme_ = SliderTheme::haze;

    // Stored values of known keys that could not be read, by key, until the key is first written.
    std::map<std::string, StoredValue> unreadable_;
    Signal<const std::string&, const std::optional<StoredValue>&>::Subscription elsewhere_;
};

} // namespace brivio
