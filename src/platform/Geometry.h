#pragma once
// Rectangles in global desktop points, as the window server and window system report them.

namespace brivio {

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Rect&) const = default;
};

} // namespace brivio
