#include "schedule/ScheduleEngine.h"

#include "schedule/SolarCurve.h"

#include <algorithm>

namespace brivio {

ScheduleEngine::ScheduleEngine(MainLoop& loop, WallClock& clock, ScheduleTarget& target,
                               BrivioPreferences& preferences, const LocationManager& location)
    : loop_(loop), clock_(clock), target_(target), preferences_(preferences), location_(location) {}

ScheduleEngine::~ScheduleEngine() {
    ticker_.cancel();
}

void ScheduleEngine::begin() {
    lastEvaluationDate_ = clock_.now();
    installObservers();
    start();
}

void ScheduleEngine::installObservers() {
    if (!observers_.empty())
        return;
    observers_.push_back(clock_.clockChanged().subscribe([this] { handleClockChange(); }));
    observers_.push_back(clock_.didWake().subscribe([this] { handleWake(); }));
}

void ScheduleEngine::start() {
    ticker_.cancel();
    ticker_ = {};
    WallTime now = clock_.now();
    // The minute is taken from the instant's own offset, so a start inside a repeated hour still
    // lands on the next boundary rather than on one an hour back.
    auto minuteStart = calendar().startOfMinute(now);
    if (!minuteStart)
        return;
    Duration delay = std::max<Duration>(*minuteStart + std::chrono::minutes{1} - now, minimumAlignmentDelay);
    ticker_ = spawn(loop_, runTicks(weak_.weak(), delay), weak_.token());
}

Task<void> ScheduleEngine::runTicks(WeakPtr<ScheduleEngine> self, Duration firstDelay) {
    co_await backgroundSleep(firstDelay);
    MainLoop& loop = self->loop_;
    TimePoint next = loop.now();
    self->evaluate(self->clock_.now());
    for (;;) {
        // Measured from the boundary, so the ticks do not drift by the time evaluations take.
        next += tickInterval;
        co_await backgroundSleep(std::max<Duration>(next - loop.now(), Duration::zero()));
        self->evaluate(self->clock_.now());
    }
}

void ScheduleEngine::handleClockChange() {
    WallTime now = clock_.now();
    if (lastEvaluationDate_ && now <= *lastEvaluationDate_)
        lastEvaluationDate_ = now; // set back: nothing to catch up on
    else
        evaluate(now);
    start();
}

void ScheduleEngine::handleWake() {
    evaluate(clock_.now());
    start();
}

std::optional<WallTime> ScheduleEngine::candidate(const ScheduleTrigger& trigger, const CivilDate& day,
                                                  const CivilCalendar& calendar) const {
    if (trigger.kind == ScheduleTriggerKind::clockTime)
        return calendar.localTime(day, trigger.hour, trigger.minute);
    const auto& position = location_.coordinate();
    if (!position)
        return std::nullopt;
    auto times = SolarCalculator::compute(day, position->latitude, position->longitude);
    auto event = trigger.kind == ScheduleTriggerKind::sunrise ? times.sunrise : times.sunset;
    if (!event)
        return std::nullopt;
    return *event + std::chrono::minutes{trigger.offsetMinutes};
}

// Daylight-saving shifts: candidates are instants, and the spans evaluated one after the other never
// overlap, so each day's moment is met exactly once. A clock time the spring shift skips (02:30 when
// clocks jump from 02:00 to 03:00) fires once at the jump, 03:00; one the autumn shift repeats (01:30
// when clocks fall from 02:00 back to 01:00) fires once, at its first occurrence.
std::optional<WallTime> ScheduleEngine::dueMoment(const PresetSchedule& schedule, WallTime last, WallTime now,
                                                  const CivilCalendar& calendar) const {
    auto today = calendar.dateOf(now);
    auto lastDay = calendar.dateOf(last);
    if (!today)
        return std::nullopt;
    CivilDate day = *today;
    for (int examined = 0; examined < maxDaysExamined; ++examined) {
        int weekday = CivilCalendar::weekday(day);
        if (std::find(schedule.days.begin(), schedule.days.end(), weekday) != schedule.days.end()) {
            auto moment = candidate(schedule.trigger, day, calendar);
            if (moment && last < *moment && *moment <= now)
                return moment;
        }
        if (!lastDay || day <= *lastDay)
            break;
        day = CivilCalendar::addDays(day, -1);
    }
    return std::nullopt;
}

void ScheduleEngine::evaluate(WallTime now) {
    if (!lastEvaluationDate_) {
        lastEvaluationDate_ = now;
        applySolarCurve(now);
        return;
    }
    if (now <= *lastEvaluationDate_)
        return;
    WallTime last = *lastEvaluationDate_;
    lastEvaluationDate_ = now;

    CivilCalendar cal = calendar();
    if (!solarCacheKey_ || solarCacheKey_ != cal.dayKey(now)) {
        solarCacheKey_.reset();
        solarCacheTimes_.reset();
    }

    auto presets = preferences_.globalPresets();
    std::optional<std::pair<WallTime, BrightnessPreset>> latest;
    for (const auto& schedule : preferences_.scheduleList()) {
        if (!schedule.isEnabled)
            continue;
        auto moment = dueMoment(schedule, last, now, cal);
        if (!moment)
            continue;
        auto preset = std::find_if(presets.begin(), presets.end(),
                                   [&](const BrightnessPreset& p) { return p.id == schedule.presetID; });
        if (preset == presets.end())
            continue; // its preset was deleted
        // Strictly later: of equal moments, the schedule stored first wins.
        if (!latest || *moment > latest->first)
            latest.emplace(*moment, *preset);
    }
    if (latest)
        target_.applyPreset(latest->second);
    applySolarCurve(now);
}

std::optional<SolarTimes> ScheduleEngine::todaySolarTimes(WallTime now) {
    CivilCalendar cal = calendar();
    auto key = cal.dayKey(now);
    const auto& position = location_.coordinate();
    if (key && solarCacheKey_ == key && solarCacheTimes_ && solarCachePosition_ == position)
        return solarCacheTimes_;
    std::optional<SolarTimes> times;
    if (position && key)
        times = SolarCalculator::compute(now, position->latitude, position->longitude, cal);
    // An absent result is kept under the key but not served: a position that arrives later is used.
    solarCacheKey_ = key;
    solarCacheTimes_ = times;
    solarCachePosition_ = position;
    return times;
}

std::optional<WallTime> ScheduleEngine::nextSunrise(WallTime now) const {
    return SolarCurve::nextSunrise(now, location_.coordinate(), calendar());
}

void ScheduleEngine::applySolarCurve(WallTime now) {
    if (!preferences_.solarCurveEnabled())
        return;
    if (auto until = preferences_.solarPausedUntil()) {
        if (now < *until)
            return;
        preferences_.setSolarPausedUntil(std::nullopt); // run out: clears the stored pause too
    }
    auto times = todaySolarTimes(now);
    if (!times)
        return;
    if (auto level =
            SolarCurve::level(now, *times, preferences_.solarNightLevel(), preferences_.solarDayLevel()))
        target_.setAllBrightness(*level);
}

} // namespace brivio
