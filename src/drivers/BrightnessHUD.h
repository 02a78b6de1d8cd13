#pragma once
// Shows a brightness level on a display's on-screen indicator, when the desktop offers one.

#include "platform/BrightnessIndicator.h"

namespace brivio {

class BrightnessHUD {
public:
    explicit BrightnessHUD(BrightnessIndicator* indicator) : indicator_(indicator) {}
    // Filled chiclets: max(level, 0) x 100 rounded half away from zero, of 100.
    void show(DisplayNumber display, double level);
    // The hot keys' form: the level x 100 truncated toward zero.
    void showTruncated(DisplayNumber display, double level);
    static int filledChiclets(double level);

private:
    BrightnessIndicator* indicator_;
    bool reportedMissing_ = false;
};

} // namespace brivio
