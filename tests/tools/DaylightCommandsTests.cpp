#include "CtlRunner.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct DaylightCommands : ::testing::Test {
    testing::TempDir config;

    testing::CtlResult sim(const std::string& arguments) {
        return testing::runBrivioctl("--sim " + testing::sourceDir() + "/examples/desk.json --config " +
                                     config.path() + " " + arguments);
    }
};

TEST_F(DaylightCommands, SunriseAndSunset) {
    struct Case {
        const char* arguments;
        const char* out;
    } cases[] = {
        {"sun --lat 0 --lon 0 --date 2024-03-20",
         "sunrise 2024-03-20T06:04:06Z\nsunset 2024-03-20T18:10:46Z\n"},
        {"sun --lat 78 --lon 15.6 --date 2024-06-25", "sunrise none\nsunset none\n"},
        // Without a date: today in the desk's zone (Berlin, 06:00 on 21 June), at the stored position.
        {"location set 52.52 13.405", "location 52.52 13.405\n"},
        {"sun", "sunrise 2024-06-21T02:43:09Z\nsunset 2024-06-21T19:33:14Z\n"},
    };
    for (const auto& c : cases) {
        auto r = sim(c.arguments);
        EXPECT_EQ(r.status, 0) << c.arguments;
        EXPECT_EQ(r.out, c.out) << c.arguments;
    }
}

TEST_F(DaylightCommands, SchedulesAndSolarAreKeptAcrossRuns) {
    ASSERT_EQ(sim("schedule add Work 08:00 weekdays").status, 0);
    ASSERT_EQ(sim("schedule add Night sunset-20 fri,sat").status, 0);
    ASSERT_EQ(sim("schedule toggle 1").status, 0);
    auto list = sim("schedule list");
    EXPECT_THAT(list.out, HasSubstr("1  off  08:00"));
    EXPECT_THAT(list.out, HasSubstr("2  on   Sunset -20 min   F S"));
    ASSERT_EQ(sim("schedule remove 1").status, 0);
    EXPECT_THAT(sim("schedule").out, StartsWith("1  on   Sunset -20 min"));

    ASSERT_EQ(sim("location set 52.52 13.405").status, 0);
    ASSERT_EQ(sim("solar levels 0.2 0.9").status, 0);
    auto on = sim("solar on");
    EXPECT_THAT(on.out, HasSubstr("brightness 0.")); // the level for 06:00 applied at once
    EXPECT_EQ(sim("solar").out, "solar on, night 0.2, day 0.9\n");
}

TEST_F(DaylightCommands, SchedulesFireWhileTimeRunsOn) {
    // The desk starts at 06:00 in Berlin; the schedule's first look is at the next minute.
    ASSERT_EQ(sim("schedule add Night 06:05").status, 0);
    ASSERT_EQ(sim("--advance 4m list").status, 0);
    EXPECT_THAT(sim("list").out, HasSubstr("brightness 70%"));
    ASSERT_EQ(sim("--advance 6m list").status, 0);
    auto after = sim("list");
    EXPECT_THAT(after.out, Not(HasSubstr("brightness 70%")));
    EXPECT_THAT(after.out, HasSubstr("brightness 20%"));
    EXPECT_THAT(sim("preset list").out,
                HasSubstr("Night            brightness 20% contrast 60% volume 30%  (active)"));
}

TEST_F(DaylightCommands, BadWordsAreNamedAndNothingIsStored) {
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(sim("schedule add Work 08:0" + std::to_string(i)).status, 0);
    ASSERT_EQ(sim("location set 10 20").status, 0);
    const std::string before = sim("schedule list").out + sim("location").out + sim("solar").out;
    struct Case {
        const char* arguments;
        const char* named;
    } cases[] = {
        {"sun --lat 91 --lon 0", "'91'"},
        {"sun --lat 10 --lon -180.5", "'-180.5'"},
        {"sun --lat nan --lon 0", "'nan'"},
        {"sun --lat 0x10 --lon 0", "'0x10'"},
        {"sun --lat 10", "'--lat'"},
        {"sun --date 2023-02-29", "'2023-02-29'"},
        {"sun --date 2024-3-20", "'2024-3-20'"},
        {"location set 95 10", "'95'"},
        {"location set 1e3 10", "'1e3'"},
        {"location set 0 0", "'0 0'"},
        {"location move 1 2", "'move'"},
        {"schedule add Work 09:00", "'add'"}, // a sixth
        {"schedule add Wrok 09:00", "'Wrok'"},
        {"schedule add Work 24:00", "'24:00'"},
        {"schedule add Work sunrise+abc", "'sunrise+abc'"},
        {"schedule add Work 09:00 mon,xyz", "'mon,xyz'"},
        {"schedule remove 6", "'6'"},
        {"schedule toggle 0", "'0'"},
        {"solar levels 0.2 1.5", "'1.5'"},
        {"solar maybe", "'maybe'"},
    };
    for (const auto& c : cases) {
        auto r = sim(c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_THAT(r.out, StartsWith("brivioctl: ")) << c.arguments;
        EXPECT_THAT(r.out, HasSubstr(c.named)) << c.arguments;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    }
    EXPECT_EQ(sim("schedule list").out + sim("location").out + sim("solar").out, before);
}

} // namespace
} // namespace brivio
