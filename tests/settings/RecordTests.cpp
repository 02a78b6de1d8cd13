#include "settings/BrightnessPreset.h"
#include "settings/PresetEditing.h"
#include "settings/PresetSchedule.h"
#include "settings/ScheduleEditor.h"
#include "settings/SettingsTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace brivio {
namespace {

using testing::bytes;

using nlohmann::json;

json parsed(const std::optional<StoredData>& data) {
    return json::parse(data->begin(), data->end());
}

TEST(Uuid, ParsesEitherCaseAndPrintsUpperCase) {
    auto id = Uuid::parse("6f9619ff-8b86-d011-b42d-00c04fc964ff");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->toString(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(Uuid::parse(id->toString()), id);
    for (auto bad : {"", "6f9619ff8b86d011b42d00c04fc964ff", "6f9619ff-8b86-d011-b42d-00c04fc964f",
                     "6f9619ff-8b86-d011-b42d-00c04fc964fg", "6f9619ff-8b86-d011-b42d_00c04fc964ff",
                     "{6f9619ff-8b86-d011-b42d-00c04fc964f}"})
        EXPECT_FALSE(Uuid::parse(bad)) << bad;
    EXPECT_NE(Uuid::random(), Uuid::random());
}

TEST(BrightnessPreset, JsonWritesOptionalKeysOnlyWhenPresentAndRoundTrips) {
    std::vector<BrightnessPreset> presets{{Uuid::random(), "Bare", 0.3, {}, {}, {}},
                                          {Uuid::random(), "Full", 1.0, 0.0, 0.5, "star"}};
    auto data = encodePresetList(presets);
    auto array = parsed(data);
    EXPECT_EQ(array[0].size(), 3u);
    EXPECT_FALSE(array[0].contains("contrast"));
    EXPECT_EQ(array[1]["id"], presets[1].id.toString());
    EXPECT_EQ(decodePresetList(*data), presets);

    presets[0].brightness = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(encodePresetList(presets)) << "JSON cannot hold it; the stored list must stay";
}

TEST(BrightnessPreset, DecodingIsAllOrNothingAndNeverCrashes) {
    const std::string work = R"("id":"00000002-0000-0000-0000-000000000000")";
    auto ok = decodePresetList(bytes("[{" + work + R"(,"name":"Desk","brightness":0.9,"contrast":null}])"));
    ASSERT_TRUE(ok);
    EXPECT_EQ((*ok)[0], (BrightnessPreset{builtInPresets()[1].id, "Desk", 0.9, {}, {}, {}}));

    std::string huge = "[";
    while (huge.size() < 10'000'000)
        huge += "{" + work + R"(,"name":"n","brightness":1},)";
    huge.back() = ']';
    std::vector<std::string> bad{
        "[{" + work + R"(,"name":"Desk"}])",
        "[{" + work + R"(,"brightness":1}])",
        R"([{"name":"Desk","brightness":1}])",
        R"([{"id":"not-a-uuid","name":"Desk","brightness":1}])",
        "[{" + work + R"(,"name":"Desk","brightness":"1"}])",
        "[{" + work + R"(,"name":"Desk","brightness":1,"volume":"loud"}])",
        "[{" + work + R"(,"name":"Desk","brightness":1,"icon":3}])",
        "[{" + work + R"(,"name":"Desk","brightness":1}, 5])",
        "[{" + work + R"(,"name":"De)",
        R"({"id":"x"})",
        "",
        huge,
        std::string(200'000, '[') + std::string(200'000, ']'),
    };
    for (const auto& text : bad)
        EXPECT_FALSE(decodePresetList(bytes(text))) << text.substr(0, 80);
}

TEST(BrightnessPreset, IconNameOfBuiltInsIgnoresTheStoredIcon) {
    BrightnessPreset night = builtInPresets()[0];
    night.icon = "sun";
    EXPECT_EQ(night.iconName(), "moon.fill");
    EXPECT_EQ((BrightnessPreset{Uuid::random(), "c", 0, {}, {}, {}}).iconName(), "slider.horizontal.3");
    EXPECT_EQ((BrightnessPreset{Uuid::random(), "c", 0, {}, {}, "star"}).iconName(), "star");
}

TEST(PresetEditing, CreateTrimsAndClampsEditKeepsWhatTheUserLeftOut) {
    EXPECT_FALSE(makeNewPreset(" \t\u00A0\n", 0.5, {}, {}));
    auto made = makeNewPreset("  Reading\u3000 ", 1.4, -1.0, {});
    ASSERT_TRUE(made);
    EXPECT_EQ(made->name, "Reading");
    EXPECT_EQ(made->brightness, 1.0);
    EXPECT_EQ(made->contrast, 0.0);
    EXPECT_FALSE(made->volume);
    EXPECT_FALSE(made->icon);

    BrightnessPreset stored{Uuid::random(), "Old", 0.2, 0.3, {}, "star"};
    auto edited = editPreset(stored, "  ", 0.8, {}, 0.4);
    EXPECT_EQ(edited, (BrightnessPreset{stored.id, "Old", 0.8, 0.3, 0.4, "star"}));
}

TEST(ScheduleTrigger, LabelsInTheCLocale) {
    std::vector<std::pair<ScheduleTrigger, std::string>> cases{
        {ScheduleTrigger::clockTime(8, 0), "08:00"},       {ScheduleTrigger::clockTime(23, 5), "23:05"},
        {ScheduleTrigger::sunrise(0), "At sunrise"},       {ScheduleTrigger::sunrise(1), "Sunrise +1 min"},
        {ScheduleTrigger::sunrise(15), "Sunrise +15 min"}, {ScheduleTrigger::sunset(-30), "Sunset -30 min"},
        {ScheduleTrigger::sunset(0), "At sunset"},
    };
    for (const auto& [trigger, label] : cases)
        EXPECT_EQ(trigger.label(), label);
}

TEST(PresetSchedule, DaysSummary) {
    std::vector<std::pair<std::vector<int>, std::string>> cases{
        {{0, 1, 2, 3, 4, 5, 6, 6}, "Every day"},
        {{5, 1, 2, 3, 4}, "Weekdays"},
        {{6, 0}, "Weekend"},
        {{5, 1, 3, 1}, "M W F"},
        {{}, ""},
        {{0, 1, 2, 3, 4, 5, 9}, "S M T W T F"},
    };
    for (const auto& [days, summary] : cases)
        EXPECT_EQ((PresetSchedule{Uuid(), Uuid(), true, {}, days}).daysSummary(), summary);
}

TEST(PresetSchedule, JsonRoundTripAndStrictDecoding) {
    std::vector<PresetSchedule> schedules{
        {Uuid::random(), Uuid::random(), false, ScheduleTrigger::clockTime(7, 30), {1, 3}},
        {Uuid::random(), Uuid::random(), true, ScheduleTrigger::sunset(-20), {5, 6}}};
    auto data = encodeScheduleList(schedules);
    EXPECT_EQ(parsed(data)[1]["trigger"], (json{{"type", "sunset"}, {"offsetMinutes", -20}}));
    EXPECT_EQ(decodeScheduleList(*data), schedules);

    auto withTrigger = [](const std::string& trigger) {
        return bytes(
            R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","presetID":"00000001-0000-0000-0000-000000000000",)"
            R"("isEnabled":true,"days":[5,6],"trigger":)" +
            trigger + "}]");
    };
    auto decoded = decodeScheduleList(withTrigger(R"({"type":"sunset","offsetMinutes":-20,"hour":"x"})"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ((*decoded)[0].trigger.label(), "Sunset -20 min");
    EXPECT_EQ((*decoded)[0].daysSummary(), "F S");
    for (auto bad :
         {R"({"type":"clockTime","hour":8})", R"({"type":"Clock","hour":8,"minute":0})",
          R"({"type":"sunrise","offsetMinutes":1.5})", R"({"type":"sunrise","offsetMinutes":99999999999})",
          R"({"offsetMinutes":0})", R"("sunrise")"})
        EXPECT_FALSE(decodeScheduleList(withTrigger(bad))) << bad;
    EXPECT_FALSE(decodeScheduleList(bytes(R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF"}])")));
}

TEST(ScheduleEditor, SavingBuildsTheRecordThePanelStores) {
    ScheduleDraft draft;
    EXPECT_FALSE(saveDraft(draft)) << "no preset chosen";
    draft.presetID = builtInPresets()[0].id;
    draft.days = {6, 2, 4};
    auto created = saveDraft(draft);
    ASSERT_TRUE(created);
    EXPECT_TRUE(created->isEnabled);
    EXPECT_EQ(created->trigger, ScheduleTrigger::clockTime(8, 0));
    EXPECT_EQ(created->days, (std::vector<int>{2, 4, 6}));

    PresetSchedule stored{Uuid::random(), Uuid::random(), false, ScheduleTrigger::sunrise(45), {1}};
    auto editing = draftFrom(stored);
    EXPECT_EQ(rawValue(editing.kind), "Sunrise");
    auto saved = saveDraft(editing, stored);
    EXPECT_EQ(*saved, (PresetSchedule{stored.id, stored.presetID, false, ScheduleTrigger::sunrise(0), {1}}));
}

} // namespace
} // namespace brivio
