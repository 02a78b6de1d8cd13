#pragma once
// What a brightness hot key drives: the display controller, seen only through its brightness step.

namespace brivio {

class ShortcutTarget {
public:
    virtual ~ShortcutTarget() = default;
    // +1 raises and -1 lowers every display by the stored step, as a manual change.
    virtual void stepBrightness(int direction) = 0;
};

} // namespace brivio
