#include "base/VirtualLoop.h"
#include "platform/sim/SimClock.h"
#include "schedule/ScheduleEngine.h"
#include "schedule/SolarCurve.h"
#include "settings/MemoryKeyValueStore.h"

#include <date/date.h>
#include <date/tz.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

struct NoLocationService : LocationService {
    int authorizationStatus() override { return 0; }
    void requestWhenInUseAuthorization() override {}
    void requestLocation() override {}
    void openPrivacySettings() override {}
};

struct Applied {
    std::string what; // a preset name, or "level"
    WallTime at;
    double level = 0;
};

WallTime local(const char* zone, int y, int mo, int d, int h, int mi, int s = 0) {
    auto t = date::local_days{date::year{y} / mo / d} + std::chrono::hours{h} + std::chrono::minutes{mi} +
             std::chrono::seconds{s};
    return WallTime{date::locate_zone(zone)->to_sys(t, date::choose::earliest)};
}
constexpr const char* berlin = "Europe/Berlin";
const auto& presets = builtInPresets(); // Night, Work, Movie

class Engine : public ::testing::Test, public ScheduleTarget {
protected:
    // As the controller does: a preset marks itself active and holds the solar curve.
    void applyPreset(const BrightnessPreset& preset) override {
        applied.push_back({preset.name, clock->now()});
        preferences.setActivePresetID(preset.id);
        if (preferences.solarCurveEnabled())
            preferences.setSolarPausedUntil(SolarCurve::pauseTarget(clock->now(), location.coordinate(),
                                                                    CivilCalendar(clock->timeZone())));
    }
    void setAllBrightness(double level) override { applied.push_back({"level", clock->now(), level}); }
    std::vector<std::string> presetsApplied() const {
        std::vector<std::string> names;
        for (const auto& a : applied)
            if (a.what != "level")
                names.push_back(a.what);
        return names;
    }

    void open(const char* zone, WallTime start) {
        engine.reset();
        applied.clear();
        clock = std::make_unique<SimClock>(loop, start, zone);
        engine = std::make_unique<ScheduleEngine>(loop, *clock, *this, preferences, location);
        engine->begin();
    }
    void schedule(std::vector<std::pair<ScheduleTrigger, std::vector<int>>> list) {
        auto old = preferences.scheduleList(); // each delete replaces the list
        for (const auto& s : old)
            preferences.deleteSchedule(s.id);
        for (std::size_t i = 0; i < list.size(); ++i)
            preferences.upsertSchedule({Uuid::random(), presets[i].id, true, list[i].first, list[i].second});
    }
    void runTo(WallTime t) { loop.advance(t - clock->now()); }
    // The simulated clock tells of a jump or a wake on the next turn of the loop.
    void jump(Duration d) {
        clock->jumpClock(d);
        loop.runUntilIdle();
    }
    void sleep(Duration d) {
        clock->sleepFor(d);
        loop.runUntilIdle();
    }

    VirtualLoop loop;
    MemoryKeyValueStore store;
    BrivioPreferences preferences{store};
    NoLocationService service;
    LocationManager location{service, preferences};
    std::vector<Applied> applied;
    std::unique_ptr<SimClock> clock;
    std::unique_ptr<ScheduleEngine> engine;
};

TEST_F(Engine, ClockTimeFiresOnceAtItsMinuteOnChosenWeekdays) {
    schedule({{ScheduleTrigger::clockTime(8, 0), {1}}}); // Mondays
    open(berlin, local(berlin, 2024, 6, 3, 7, 58, 30));  // a Monday
    loop.advance(30s);
    EXPECT_EQ(engine->lastEvaluationDate(), local(berlin, 2024, 6, 3, 7, 59)); // on the minute
    runTo(local(berlin, 2024, 6, 3, 7, 59, 59));
    EXPECT_TRUE(applied.empty());
    runTo(local(berlin, 2024, 6, 10, 7, 0)); // the rest of the week
    ASSERT_EQ(presetsApplied(), std::vector<std::string>{"Night"});
    EXPECT_EQ(applied[0].at, local(berlin, 2024, 6, 3, 8, 0));
    runTo(local(berlin, 2024, 6, 10, 8, 0, 1));
    EXPECT_EQ(presetsApplied().size(), 2u);
    EXPECT_TRUE(loop.runUntilSettled(1s)); // the ticks do not keep a settling loop busy
    engine.reset();
    loop.runUntilIdle();
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(Engine, SunriseAndSunsetWithOffsets) {
    schedule({{ScheduleTrigger::sunset(15), allWeekdays()}, {ScheduleTrigger::sunrise(-30), allWeekdays()}});
    open(berlin, local(berlin, 2024, 6, 20, 0, 0));
    runTo(local(berlin, 2024, 6, 21, 0, 0));
    EXPECT_TRUE(applied.empty()); // no position yet
    ASSERT_TRUE(location.setManualPosition(52.52, 13.405));
    runTo(local(berlin, 2024, 6, 22, 0, 0));
    auto times = SolarCalculator::compute(CivilDate{2024, 6, 21}, 52.52, 13.405);
    ASSERT_EQ(presetsApplied(), (std::vector<std::string>{"Work", "Night"}));
    // Each at the first minute tick at or after its moment.
    auto early = applied[0].at - (*times.sunrise - 30min), late = applied[1].at - (*times.sunset + 15min);
    EXPECT_TRUE(early >= 0s && early < 60s);
    EXPECT_TRUE(late >= 0s && late < 60s);
}

TEST_F(Engine, CatchUpAfterSleepAppliesTheLatestMissedPresetOnce) {
    const auto daily = allWeekdays();
    struct Case {
        const char* name;
        WallTime start; // the machine sleeps a minute later
        Duration sleep;
        std::vector<std::pair<ScheduleTrigger, std::vector<int>>> schedules; // Night, Work, Movie
        std::vector<std::string> expected;
    } cases[] = {
        {"8 hours",
         local(berlin, 2024, 6, 3, 21, 49),
         8h,
         {{ScheduleTrigger::clockTime(22, 0), daily}, {ScheduleTrigger::clockTime(22, 30), daily}},
         {"Work"}},
        {"Friday to Monday",
         local(berlin, 2024, 6, 7, 17, 59),
         63h,
         {{ScheduleTrigger::clockTime(10, 0), {6}}, {ScheduleTrigger::clockTime(11, 0), {1}}},
         {"Night"}},
        {"ten days",
         local(berlin, 2024, 6, 3, 11, 59),
         240h,
         {{ScheduleTrigger::clockTime(12, 30), {1}}, {ScheduleTrigger::clockTime(9, 0), {2}}},
         {"Work"}},
        {"equal moments: stored first wins",
         local(berlin, 2024, 6, 3, 21, 49),
         1h,
         {{ScheduleTrigger::clockTime(22, 0), daily}, {ScheduleTrigger::clockTime(22, 0), daily}},
         {"Night"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        schedule(c.schedules);
        open(berlin, c.start);
        loop.advance(60s);
        sleep(c.sleep);
        loop.advance(10min);
        EXPECT_EQ(presetsApplied(), c.expected);
    }
}

TEST_F(Engine, ClockSetBackReplaysAndForwardCatchesUp) {
    schedule({{ScheduleTrigger::clockTime(8, 0), allWeekdays()},
              {ScheduleTrigger::clockTime(10, 0), allWeekdays()}});
    open(berlin, local(berlin, 2024, 6, 3, 7, 59, 30));
    runTo(local(berlin, 2024, 6, 3, 8, 0, 0) + 50ms);
    ASSERT_EQ(presetsApplied(), std::vector<std::string>{"Night"});
    // Set back an hour: the last look moves back without evaluating, and 08:00 fires again as the
    // clock passes it once more.
    runTo(local(berlin, 2024, 6, 3, 8, 10));
    jump(-1h);
    EXPECT_EQ(engine->lastEvaluationDate(), local(berlin, 2024, 6, 3, 7, 10));
    EXPECT_EQ(presetsApplied().size(), 1u);
    runTo(local(berlin, 2024, 6, 3, 9, 0));
    EXPECT_EQ(presetsApplied(), (std::vector<std::string>{"Night", "Night"}));
    // Forward past 10:00: caught up at once, and the ticks come back to the minute.
    jump(1h + 30s);
    EXPECT_EQ(presetsApplied(), (std::vector<std::string>{"Night", "Night", "Work"}));
    loop.advance(30s);
    EXPECT_EQ(engine->lastEvaluationDate(), local(berlin, 2024, 6, 3, 10, 1));
}

TEST_F(Engine, DaylightSavingShiftsNeitherRepeatNorSkip) {
    constexpr const char* ny = "America/New_York";
    struct Case {
        CivilDate day;
        int hour, minute;
        WallTime expected;
    } cases[] = {
        {{2024, 3, 10}, 2, 30, local("UTC", 2024, 3, 10, 7, 0)},  // no 02:30 that night: at 03:00 EDT
        {{2024, 11, 3}, 1, 30, local("UTC", 2024, 11, 3, 5, 30)}, // 01:30 comes twice: the first, EDT
        {{2024, 11, 3}, 2, 30, local("UTC", 2024, 11, 3, 7, 30)},
    };
    for (const auto& c : cases) {
        schedule({{ScheduleTrigger::clockTime(c.hour, c.minute), allWeekdays()}});
        open(ny, local(ny, c.day.year, c.day.month, c.day.day, 0, 0));
        runTo(local(ny, c.day.year, c.day.month, c.day.day, 23, 0));
        ASSERT_EQ(presetsApplied().size(), 1u) << c.hour;
        EXPECT_EQ(applied[0].at, c.expected) << c.hour;
    }
    // Started at 01:30:30 EST, the second 01:30 of that night: still ticks at the next minute.
    open(ny, local("UTC", 2024, 11, 3, 6, 30, 30));
    loop.advance(30s);
    EXPECT_EQ(engine->lastEvaluationDate(), local("UTC", 2024, 11, 3, 6, 31));
}

TEST_F(Engine, SolarCurveLevels) {
    preferences.setSolarCurveEnabled(true);
    open("UTC", local("UTC", 2024, 3, 20, 0, 0));
    engine->applySolarCurve(local("UTC", 2024, 3, 20, 12, 0));
    EXPECT_TRUE(applied.empty()); // no position: not even the night level

    ASSERT_TRUE(location.setManualPosition(0, 0)); // sunrise 06:04:06, sunset 18:10:46
    auto times = *engine->todaySolarTimes(local("UTC", 2024, 3, 20, 12, 0));
    auto span = *times.sunset - *times.sunrise;
    struct Case {
        WallTime at;
        double night, day, level;
    } cases[] = {
        {local("UTC", 2024, 3, 20, 3, 0), 0.3, 1, 0.3},
        {*times.sunrise + span / 2, 0.3, 1, 1.0},
        {*times.sunrise + span / 4, 0.3, 1, 0.3 + 0.7 * std::sqrt(0.5)},
        {*times.sunrise + span / 2, 0.8, 0.2, 0.2}, // the arch dips
        {local("UTC", 2024, 3, 20, 21, 0), 0.3, 1, 0.3},
    };
    for (const auto& c : cases) {
        applied.clear();
        preferences.setSolarLevels(c.night, c.day);
        engine->applySolarCurve(c.at);
        ASSERT_EQ(applied.size(), 1u);
        EXPECT_NEAR(applied[0].level, c.level, 1e-9);
    }
    // A new position counts the same day: at longitude 180, noon UTC is night.
    preferences.setSolarLevels(0.3, 1);
    ASSERT_TRUE(location.setManualPosition(0, 180));
    engine->applySolarCurve(local("UTC", 2024, 3, 20, 12, 0));
    EXPECT_NEAR(applied.back().level, 0.3, 1e-9);
}

TEST_F(Engine, PresetHoldsTheCurveUntilThePauseRunsOut) {
    ASSERT_TRUE(location.setManualPosition(0, 0));
    preferences.setSolarCurveEnabled(true);
    schedule({{ScheduleTrigger::clockTime(20, 0), allWeekdays()}});
    open("UTC", local("UTC", 2024, 3, 20, 19, 58, 30));
    runTo(local("UTC", 2024, 3, 20, 23, 0));
    ASSERT_EQ(presetsApplied(), std::vector<std::string>{"Night"});
    EXPECT_EQ(applied.back().what, "Night"); // paused since: the preset's brightness stays
    ASSERT_TRUE(preferences.solarPausedUntil());

    // Asleep through the next sunrise: the first evaluation clears the pause and applies the curve.
    sleep(10h);
    EXPECT_FALSE(preferences.solarPausedUntil());
    EXPECT_FALSE(store.get("brivio.solar.pausedUntil"));
    EXPECT_EQ(applied.back().what, "level");
    EXPECT_GT(applied.back().level, 0.3);
}

} // namespace
} // namespace brivio
