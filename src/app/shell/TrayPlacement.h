#pragma once
// Where the panel and the first-run hint go for a tray icon: beside the icon, away from the screen
// edge its bar stands on, and inside the screen. Also the icon's frame where the tray host only gives
// a click position, or nothing at all.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace brivio {

enum class ScreenEdge { top, bottom, left, right };

// The edge of `screen` nearest to `anchor`'s centre: the one the tray's bar stands on.
ScreenEdge nearestEdge(const QRect& anchor, const QRect& screen);

// The top left of a panel of `size` for an icon at `anchor`: next to it on the side away from the
// edge, then moved inside `area` (the screen less the desktop's bars).
QPoint panelPosition(const QRect& anchor, const QSize& size, const QRect& screen, const QRect& area);

// The icon's frame for a click at `click`. Hosts report the pointer; near an edge the bar reaches
// from that edge to as far again beyond the pointer, so the panel opens clear of the bar.
QRect anchorAroundClick(const QPoint& click, const QRect& screen);

// Where tray icons usually sit when the host has not said yet: toward the right end of the bar the
// desktop reserves, at the top when it reserves none.
QRect likelyTrayFrame(const QRect& screen, const QRect& area);

// The hint bubble: its window's top left, whether it hangs below the icon (tail up) or stands above
// it (tail down), and where its capsule and tail sit inside the window.
struct HintPlacement {
    QPoint topLeft;
    bool below = true;
    double capsuleLeft = 0;
    double tailX = 0;
};

struct HintShape {
    QSize window;
    double capsuleWidth;
    double capsuleHeight;
    // Room kept between the capsule and the window's sides (for its glow).
    double margin;
};

HintPlacement hintPlacement(const QRect& item, const HintShape& shape, const QRect& screen);

} // namespace brivio
