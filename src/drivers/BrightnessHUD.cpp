#include "drivers/BrightnessHUD.h"

#include "base/Log.h"

#include <algorithm>
#include <cmath>

namespace brivio {

int BrightnessHUD::filledChiclets(double level) {
    return static_cast<int>(std::round(std::max(level, 0.0) * 100));
}

void BrightnessHUD::showTruncated(DisplayNumber display, double level) {
    if (!indicator_)
        return show(display, level);
    indicator_->show(display, static_cast<int>(std::trunc(std::max(level, 0.0) * 100 + 1e-9)), 100, 1000);
}

void BrightnessHUD::show(DisplayNumber display, double level) {
    if (!indicator_) {
        if (!reportedMissing_)
            logInfo(LogCategory::controller, "NativeOSD: OSD.framework unavailable — HUD disabled");
        reportedMissing_ = true;
        return;
    }
    indicator_->show(display, filledChiclets(level), 100, 1000);
}

} // namespace brivio
