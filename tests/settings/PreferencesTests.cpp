#include "base/Log.h"
#include "settings/BrivioPreferences.h"
#include "settings/MemoryKeyValueStore.h"
#include "settings/PreferenceKeys.h"
#include "settings/SettingsTestSupport.h"

#include <fmt/format.h>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace brivio {
namespace {

using testing::bytes;

namespace keys = prefkeys;
using Read = std::function<std::string(const BrivioPreferences&)>;

template <typename Map> std::string text(const Map& map) {
    std::string out;
    for (const auto& [k, v] : map)
        out += fmt::format("{}={};", k, v);
    return out;
}
std::string text(const std::optional<std::string>& s) {
    return s.value_or("none");
}

const Uuid someID = *Uuid::parse("6F9619FF-8B86-D011-B42D-00C04FC964FF");
const std::string goodPresets =
    R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"Mine","brightness":0.4}])";
const std::string goodSchedules = R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","presetID":)"
                                  R"("00000001-0000-0000-0000-000000000000","isEnabled":false,)"
                                  R"("trigger":{"type":"sunrise","offsetMinutes":5},"days":[1]}])";

struct KeyCase {
    const char* key;
    StoredValue stored;
    StoredValue wrongType;
    Read read;
    std::string whenAbsent;
    std::string whenStored;
};

// Each key falls back on its own: absent and wrong-typed values give the default, the stored form loads.
TEST(Preferences, EveryKeyLoadsItsStoredFormAndFallsBackAlone) {
    auto date = testing::fixedNow();
    std::vector<KeyCase> cases{
        {keys::perDisplayBrightness, DoubleDictionary{{"D1", 0.4}}, BoolDictionary{{"D1", true}},
         [](auto& p) { return text(p.brightnessByDisplay()); }, "", "D1=0.4;"},
        {keys::perDisplayContrast, DoubleDictionary{{"D1", 1.5}}, std::string("x"),
         [](auto& p) { return text(p.contrastByDisplay()); }, "", "D1=1.5;"},
        {keys::perDisplayVolume, DoubleDictionary{{"D1", 0.1}}, 0.1,
         [](auto& p) { return text(p.volumeByDisplay()); }, "", "D1=0.1;"},
        {keys::externalOverlayDimming, BoolDictionary{{"D1", true}}, DoubleDictionary{{"D1", 1}},
         [](auto& p) { return text(p.externalOverlayDimmingByDisplay()); }, "", "D1=true;"},
        {keys::syncLeaderKey, std::string("D2"), std::int64_t{2},
         [](auto& p) { return text(p.syncLeaderKey()); }, "none", "D2"},
        {keys::globalActivePreset, std::string("ABC"), true,
         [](auto& p) { return text(p.globalActivePresetIDStr()); }, "none", "ABC"},
        {keys::globalPresets, bytes(goodPresets), std::string(goodPresets),
         [](auto& p) { return fmt::format("{}", p.globalPresets().front().name); }, "Night", "Mine"},
        {keys::schedules, bytes(goodSchedules), std::string(goodSchedules),
         [](auto& p) { return fmt::format("{}", p.scheduleList().size()); }, "0", "1"},
        {keys::brightnessStep, std::int64_t{1}, std::string("0.2"),
         [](auto& p) { return fmt::format("{}", p.brightnessStep()); }, "0.0625", "1"},
        {keys::showSliderPercentage, false, std::int64_t{0},
         [](auto& p) { return fmt::format("{}", p.showSliderPercentage()); }, "true", "false"},
        {keys::solarEnabled, true, std::string("true"),
         [](auto& p) { return fmt::format("{}", p.solarCurveEnabled()); }, "false", "true"},
        {keys::solarNightLevel, 1.5, true, [](auto& p) { return fmt::format("{}", p.solarNightLevel()); },
         "0.3", "1.5"},
        {keys::solarDayLevel, 0.7, std::string("x"),
         [](auto& p) { return fmt::format("{}", p.solarDayLevel()); }, "1", "0.7"},
        {keys::solarPausedUntil, date, 5.0,
         [](auto& p) { return fmt::format("{}", p.solarPausedUntil().has_value()); }, "false", "true"},
        {keys::selectedTheme, std::string("clay"), std::string("purple"),
         [](auto& p) { return std::string(rawValue(p.selectedTheme())); }, "haze", "clay"},
        {keys::hasSeenWelcome, true, std::int64_t{1},
         [](auto& p) { return fmt::format("{}", p.hasSeenWelcome()); }, "false", "true"},
        {keys::brightnessUpKeyCode, std::int64_t{122}, 122.0,
         [](auto& p) {
             return fmt::format("{}", p.shortcutKeyCode(ShortcutAction::brightnessUp).value_or(-1));
         },
         "-1", "122"},
        {keys::brightnessDownModifiers, std::int64_t{0x100000}, false,
         [](auto& p) {
             return fmt::format("{}", p.shortcutModifiers(ShortcutAction::brightnessDown).value_or(0));
         },
         "0", "1048576"},
        {keys::locationLatitude, 52.5, std::string("52.5"),
         [](auto& p) { return fmt::format("{}", p.storedLatitude()); }, "0", "52.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        MemoryKeyValueStore empty, stored, wrong;
        stored.set(c.key, c.stored);
        wrong.set(c.key, c.wrongType);
        EXPECT_EQ(c.read(BrivioPreferences(empty)), c.whenAbsent);
        EXPECT_EQ(c.read(BrivioPreferences(stored)), c.whenStored);
        EXPECT_EQ(c.read(BrivioPreferences(wrong)), c.whenAbsent);
        EXPECT_EQ(empty.writeCount(), 0u);
        EXPECT_EQ(stored.writeCount(), 1u) << "loading writes nothing";

        // The same, taken in while running from another process's change of that key.
        MemoryKeyValueStore live;
        BrivioPreferences following(live);
        live.setElsewhere(c.key, c.stored);
        EXPECT_EQ(c.read(following), c.whenStored);
        live.setElsewhere(c.key, c.wrongType);
        EXPECT_EQ(c.read(following), c.whenAbsent);
        EXPECT_EQ(live.writeCount(), 0u) << "taking a change in writes nothing back";
    }
}

// Of a map another process changed, only the entries it changed are taken; a value this process has
// in motion for another display stays.
TEST(Preferences, MapEntriesChangedElsewhereAreTakenInOneByOne) {
    MemoryKeyValueStore store;
    store.set(keys::perDisplayBrightness, DoubleDictionary{{"A", 0.5}, {"B", 0.5}, {"C", 0.5}});
    BrivioPreferences prefs(store);
    prefs.setBrightnessInMemory("A", 0.37);
    std::vector<BrivioPreferences::ExternalChange> heard;
    int warned = 0;
    auto a = prefs.willChange.subscribe([&] { ++warned; });
    auto b = prefs.changedElsewhere.subscribe([&](const auto& change) { heard.push_back(change); });
    store.setElsewhere(keys::perDisplayBrightness, DoubleDictionary{{"A", 0.5}, {"B", 0.9}, {"D", 0.1}});
    EXPECT_EQ(text(prefs.brightnessByDisplay()), "A=0.37;B=0.9;D=0.1;");
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].key, keys::perDisplayBrightness);
    EXPECT_EQ(heard[0].displayKeys, (std::vector<std::string>{"B", "D", "C"}));
    EXPECT_EQ(warned, 1);
}

TEST(Preferences, LoadingSetsTheCurrentThemeAndAssignmentFollows) {
    MemoryKeyValueStore store;
    store.set(keys::selectedTheme, std::string("nordic"));
    BrivioPreferences prefs(store);
    EXPECT_EQ(currentTheme(), SliderTheme::nordic);
    prefs.setSelectedTheme(SliderTheme::volt);
    EXPECT_EQ(currentTheme(), SliderTheme::volt);
    EXPECT_EQ(store.getAs<std::string>(keys::selectedTheme), "volt");
    BrivioPreferences fresh(store);
    EXPECT_EQ(fresh.selectedTheme(), SliderTheme::volt);
}

TEST(Preferences, LevelsAreClampedAndTheWholeMapIsWritten) {
    MemoryKeyValueStore store;
    store.set(keys::perDisplayBrightness, DoubleDictionary{{"old", 0.5}});
    store.set(keys::perDisplayVolume, std::string("unreadable"));
    BrivioPreferences prefs(store);
    prefs.setBrightness("D1", 1.7);
    prefs.setContrast("D1", -3);
    prefs.setVolume("D1", std::numeric_limits<double>::quiet_NaN());
    prefs.setSolarLevels(-0.2, 2);
    EXPECT_EQ(store.get(keys::perDisplayBrightness),
              StoredValue(DoubleDictionary{{"old", 0.5}, {"D1", 1.0}}));
    EXPECT_EQ(store.get(keys::perDisplayContrast), StoredValue(DoubleDictionary{{"D1", 0.0}}));
    EXPECT_EQ(store.get(keys::perDisplayVolume), StoredValue(DoubleDictionary{{"D1", 0.0}}));
    EXPECT_EQ(store.getAs<double>(keys::solarNightLevel), 0.0);
    EXPECT_EQ(store.getAs<double>(keys::solarDayLevel), 1.0);
}

TEST(Preferences, SubscribersHearOfAChangeBeforeTheValueChanges) {
    MemoryKeyValueStore store;
    BrivioPreferences prefs(store);
    std::vector<bool> seenBefore;
    auto sub =
        prefs.willChange.subscribe([&] { seenBefore.push_back(prefs.brightnessByDisplay().contains("D1")); });
    prefs.setBrightness("D1", 0.5);
    prefs.setPresetsCardExpanded(false);
    EXPECT_EQ(seenBefore, (std::vector<bool>{false, true}));
    EXPECT_EQ(store.writeCount(), 1u) << "panel state is never stored";
}

TEST(Preferences, TurningTheSolarCurveOnEndsThePauseAndTheActivePreset) {
    for (bool enable : {true, false}) {
        MemoryKeyValueStore store;
        BrivioPreferences prefs(store);
        prefs.setSolarPausedUntil(testing::fixedNow());
        prefs.setActivePresetID(someID);
        prefs.setSolarCurveEnabled(enable);
        EXPECT_EQ(store.getAs<bool>(keys::solarEnabled), enable);
        EXPECT_EQ(prefs.solarPausedUntil().has_value(), !enable);
        EXPECT_EQ(store.get(keys::solarPausedUntil).has_value(), !enable);
        EXPECT_EQ(prefs.globalActivePresetIDStr().has_value(), !enable);
        EXPECT_EQ(store.get(keys::globalActivePreset).has_value(), !enable);
    }
}

BrightnessPreset custom(std::string name) {
    return {Uuid::random(), std::move(name), 0.5, {}, {}, {}};
}

TEST(Preferences, PresetListOverlaysBuiltInsAndStopsAtSix) {
    MemoryKeyValueStore store;
    BrivioPreferences prefs(store);
    BrightnessPreset work = builtInPresets()[1];
    work.name = "Office";
    work.brightness = 0.1;
    work.icon = "other";
    prefs.upsertPreset(work);
    ASSERT_EQ(prefs.globalPresetList().size(), 3u) << "the first change stores the built-ins";
    auto seen = prefs.globalPresets()[1];
    EXPECT_EQ(seen.name, "Office");
    EXPECT_EQ(seen.brightness, 0.65);
    EXPECT_EQ(seen.iconName(), "laptopcomputer");
    EXPECT_EQ(BrivioPreferences(store).globalPresets()[1].name, "Office");

    auto mine = custom("Mine");
    for (auto p : {mine, custom("b"), custom("c")})
        prefs.upsertPreset(p);
    auto writes = store.writeCount();
    prefs.upsertPreset(custom("seventh"));
    EXPECT_EQ(prefs.globalPresets().size(), 6u);
    EXPECT_EQ(store.writeCount(), writes);
    mine.name = "Renamed";
    prefs.upsertPreset(mine);
    EXPECT_EQ(prefs.globalPresets()[3].name, "Renamed");

    prefs.setActivePresetID(mine.id);
    writes = store.writeCount();
    prefs.deletePreset(builtInPresets()[0].id);
    EXPECT_EQ(store.writeCount(), writes) << "built-ins are never removed";
    prefs.deletePreset(mine.id);
    EXPECT_EQ(prefs.globalPresets().size(), 5u);
    EXPECT_FALSE(store.get(keys::globalActivePreset));
}

TEST(Preferences, ScheduleListStopsAtFiveAndTogglesById) {
    MemoryKeyValueStore store;
    BrivioPreferences prefs(store);
    std::vector<PresetSchedule> schedules;
    for (int i = 0; i < 6; ++i) {
        schedules.push_back({Uuid::random(), someID, true, ScheduleTrigger::clockTime(i, 0)});
        prefs.upsertSchedule(schedules.back());
    }
    EXPECT_EQ(prefs.scheduleList().size(), 5u);
    schedules[2].trigger = ScheduleTrigger::sunset(-20);
    prefs.upsertSchedule(schedules[2]);
    EXPECT_EQ(prefs.scheduleList()[2], schedules[2]);

    auto writes = store.writeCount();
    prefs.toggleSchedule(Uuid::random());
    EXPECT_EQ(store.writeCount(), writes);
    prefs.toggleSchedule(schedules[1].id);
    prefs.deleteSchedule(schedules[0].id);
    BrivioPreferences reloaded(store);
    ASSERT_EQ(reloaded.scheduleList().size(), 4u);
    EXPECT_FALSE(reloaded.scheduleList()[0].isEnabled);
    EXPECT_EQ(reloaded.scheduleList()[1].trigger, ScheduleTrigger::sunset(-20));
}

// One bad record makes the whole list read as empty, and a value of the wrong form reads as absent; the
// first write over either must not lose it.
TEST(Preferences, UnreadableValueIsCopiedAsideBeforeTheFirstWriteOverIt) {
    std::string badPresets = goodPresets.substr(0, goodPresets.size() - 1) + R"(,{"id":"x","name":"B"}])";
    std::string badSchedules = R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF"}])";
    struct Case {
        const char* key;
        StoredValue stored;
        std::function<void(BrivioPreferences&)> write;
    };
    std::vector<Case> cases{
        {keys::globalPresets, bytes(badPresets), [](auto& p) { p.upsertPreset(custom("new")); }},
        // Readable, but not the form of the key.
        {keys::perDisplayBrightness, std::string("D1=0.4"), [](auto& p) { p.setBrightness("D2", 0.5); }},
        {keys::syncLeaderKey, std::int64_t{2}, [](auto& p) { p.setSyncLeaderKey(std::nullopt); }},
        {keys::globalPresets, std::string("not data"), [](auto& p) { p.deletePreset(Uuid::random()); }},
        {keys::schedules, bytes(badSchedules),
         [](auto& p) {
             p.upsertSchedule({Uuid::random(), someID, true, ScheduleTrigger::sunrise(0)});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        MemoryKeyValueStore store;
        store.set(c.key, c.stored);
        BrivioPreferences prefs(store, testing::fixedClock());
        EXPECT_TRUE(prefs.globalPresetList().empty() && prefs.scheduleList().empty());
        EXPECT_EQ(store.get(c.key), c.stored) << "left untouched until a write";

        CaptureLog log;
        c.write(prefs);
        auto side = std::string(c.key) + ".unreadable-" + testing::fixedStamp;
        EXPECT_EQ(store.get(side), c.stored);
        EXPECT_NE(store.get(c.key), c.stored);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].message.find(side), std::string::npos);
        c.write(prefs);
        EXPECT_EQ(log.lines().size(), 1u) << "copied once";
    }
}

TEST(Preferences, FailedPresetEncodingKeepsTheStoredList) {
    MemoryKeyValueStore store;
    BrivioPreferences prefs(store);
    EXPECT_TRUE(prefs.upsertPreset(custom("ok")));
    auto before = store.get(keys::globalPresets);
    EXPECT_FALSE(prefs.upsertPreset(custom("bad \xff name")));
    EXPECT_EQ(prefs.globalPresets().size(), 5u) << "memory holds the change";
    EXPECT_EQ(store.get(keys::globalPresets), before);
}

TEST(Preferences, ALevelThatIsNotANumberReadsAsAbsent) {
    MemoryKeyValueStore store;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    store.set(keys::perDisplayBrightness, DoubleDictionary{{"D1", nan}, {"D2", 0.4}});
    store.set(keys::solarNightLevel, nan);
    BrivioPreferences prefs(store);
    EXPECT_EQ(text(prefs.brightnessByDisplay()), "D2=0.4;");
    EXPECT_EQ(prefs.solarNightLevel(), 0.3);
}

} // namespace
} // namespace brivio
