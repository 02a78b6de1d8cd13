#pragma once
// What the schedule engine drives: the display controller, seen only through the two operations the
// engine needs.

#include "settings/BrightnessPreset.h"

namespace brivio {

class ScheduleTarget {
public:
    virtual ~ScheduleTarget() = default;
    // Applies the preset to every display and marks it active; this also pauses the solar curve.
    virtual void applyPreset(const BrightnessPreset& preset) = 0;
    // The solar level: every managed display to `level` with a 1.5 s transition, no other rules.
    virtual void setAllBrightness(double level) = 0;
};

} // namespace brivio
