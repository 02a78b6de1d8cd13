#include "app/AppServices.h"
#include "base/VirtualLoop.h"
#include "platform/sim/SimDesk.h"
#include "settings/MemoryKeyValueStore.h"
#include "settings/PreferenceKeys.h"

#include <gtest/gtest.h>

namespace brivio {
namespace {

// A monitor without DDC/CI (overlay dimming) and the built-in panel, at 06:00 in Berlin.
const char* desk = R"({"clock": {"start": "2024-06-21T04:00:00Z", "timeZone": "Europe/Berlin"},
  "location": {"lat": 52.52, "lon": 13.405, "status": 3},
  "displays": [
    {"name": "Built-in Display", "builtIn": true, "vendor": 1552, "product": 41139,
     "bounds": [0, 0, 1512, 982], "native": {"brightness": 0.7}},
    {"name": "Office 24", "vendor": 7789, "product": 1101, "serial": 81234, "unit": 2,
     "bounds": [1512, 0, 1920, 1080]}]})";

struct AppServicesTest : ::testing::Test {
    VirtualLoop loop;
    std::unique_ptr<SimDesk> sim = std::make_unique<SimDesk>(loop, Scenario::parse(desk, "desk.json"));
    Platform platform = sim->platform();
    MemoryKeyValueStore store;
    std::unique_ptr<AppServices> services;

    void start() {
        services = std::make_unique<AppServices>(platform, store);
        services->startShortcuts();
        settle();
    }
    void settle() { ASSERT_TRUE(loop.runUntilSettled(std::chrono::minutes(5))); }
    double brightness(std::size_t index) {
        return services->preferences().brightnessByDisplay().at(sim->stableKey(index));
    }
};

TEST_F(AppServicesTest, SchedulesFireFromTheControllersEngine) {
    start();
    ASSERT_NE(services->controller().scheduleEngine(), nullptr);
    BrightnessPreset night = services->preferences().globalPresets().front();
    PresetSchedule schedule;
    schedule.id = Uuid::random();
    schedule.presetID = night.id;
    schedule.trigger = ScheduleTrigger::clockTime(6, 2);
    services->preferences().upsertSchedule(schedule);

    loop.advance(std::chrono::seconds(90)); // 06:01:30: not yet
    settle();
    EXPECT_FALSE(services->preferences().globalActivePresetIDStr());
    loop.advance(std::chrono::seconds(60));
    settle();
    EXPECT_EQ(services->preferences().globalActivePresetIDStr(), night.id.toString());
    EXPECT_DOUBLE_EQ(brightness(1), night.brightness);

    // After shutdown nothing fires any more.
    services->shutdown();
    EXPECT_EQ(services->controller().scheduleEngine(), nullptr);
}

TEST_F(AppServicesTest, HotKeysStepEveryDisplayUntilShutdown) {
    store.set(prefkeys::brightnessUpKeyCode, std::int64_t(126));
    store.set(prefkeys::brightnessUpModifiers, std::int64_t(0x300));
    start();
    ASSERT_NE(services->shortcuts(), nullptr);
    double before = brightness(0);
    EXPECT_TRUE(sim->hotKeys().press(100));
    settle();
    EXPECT_GT(brightness(0), before);

    services->shutdown();
    EXPECT_TRUE(sim->hotKeys().registrations().empty());
    EXPECT_FALSE(sim->hotKeys().press(100));
}

} // namespace
} // namespace brivio
