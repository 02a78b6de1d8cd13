#pragma once
// Makes schedules happen: once a minute, on the minute, it looks at the wall-clock span since its
// previous look, applies the preset of the latest schedule whose moment fell into it, then lets the
// solar curve set brightness. Waking from sleep and clock changes catch up on what was missed.

#include "base/Task.h"
#include "base/WeakPtr.h"
#include "platform/WallClock.h"
#include "schedule/CivilCalendar.h"
#include "schedule/LocationManager.h"
#include "schedule/ScheduleTarget.h"
#include "schedule/SolarCalculator.h"
#include "settings/BrivioPreferences.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

class ScheduleEngine {
public:
    static constexpr Duration tickInterval = 60s;
    static constexpr Duration minimumAlignmentDelay = 100ms;
    // Catch-up looks at today and at most the seven days before it.
    static constexpr int maxDaysExamined = 8;

    ScheduleEngine(MainLoop& loop, WallClock& clock, ScheduleTarget& target, BrivioPreferences& preferences,
                   const LocationManager& location);
    ~ScheduleEngine();
    ScheduleEngine(const ScheduleEngine&) = delete;
    ScheduleEngine& operator=(const ScheduleEngine&) = delete;

    // What the creator does: nothing scheduled before this moment fires; the first evaluation comes at
    // the next minute boundary.
    void begin();
    // Subscribes to wake and clock-change notifications, once.
    void installObservers();
    // (Re)arms the wait for the next minute boundary, then the 60-second ticks.
    void start();

    void evaluate(WallTime now);
    void handleClockChange();
    void handleWake();

    void applySolarCurve(WallTime now);
    // Today's sunrise and sunset at the current position; nothing without a position.
    std::optional<SolarTimes> todaySolarTimes(WallTime now);
    // When a pause begun at `now` ends: the next sunrise at the current position, if there is one.
    std::optional<WallTime> nextSunrise(WallTime now) const;

    const std::optional<WallTime>& lastEvaluationDate() const { return lastEvaluationDate_; }
    void setLastEvaluationDate(std::optional<WallTime> date) { lastEvaluationDate_ = date; }
    bool ticking() const { return ticker_.running(); }

private:
    CivilCalendar calendar() const { return CivilCalendar(clock_.timeZone()); }
    std::optional<WallTime> dueMoment(const PresetSchedule& schedule, WallTime last, WallTime now,
                                      const CivilCalendar& calendar) const;
    std::optional<WallTime> candidate(const ScheduleTrigger& trigger, const CivilDate& day,
                                      const CivilCalendar& calendar) const;
    static Task<void> runTicks(WeakPtr<ScheduleEngine> self, Duration firstDelay);

    MainLoop& loop_;
    WallClock& clock_;
    ScheduleTarget& target_;
    BrivioPreferences& preferences_;
    const LocationManager& location_;

    TaskHandle ticker_;
    std::vector<Signal<>::Subscription> observers_;
    std::optional<WallTime> lastEvaluationDate_;
    std::optional<std::string> solarCacheKey_;
    std::optional<SolarTimes> solarCacheTimes_;
    // The position the cached times were computed for: a new position is used the same day.
    std::optional<GeoCoordinate> solarCachePosition_;

    WeakPtrFactory<ScheduleEngine> weak_{this};
};

} // namespace brivio
