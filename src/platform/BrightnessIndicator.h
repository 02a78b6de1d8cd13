#pragma once
// The on-screen brightness indicator shown when brightness is stepped with a hot key.

#include "platform/WindowServer.h"

namespace brivio {

class BrightnessIndicator {
public:
    virtual ~BrightnessIndicator() = default;
    // Shows `filledChiclets` of `totalChiclets` on `display`, fading after `msecUntilFade`.
    virtual void show(DisplayNumber display, int filledChiclets, int totalChiclets, int msecUntilFade) = 0;
};

} // namespace brivio
