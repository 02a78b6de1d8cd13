#include "app/shell/TrayPlacement.h"

#include <algorithm>

namespace brivio {

namespace {

// How close to an edge a click must be to count as a click on a bar there.
constexpr int barReach = 64;
// Room between the icon and what opens next to it, and between the panel and the screen's sides.
constexpr int gap = 4;
constexpr int edgeMargin = 4;
// The width of a tray icon when only a point is known.
constexpr int iconSide = 24;
// How far from the bar's right end trays usually start: clocks and system menus sit to their right.
constexpr int trayFromRightEnd = 160;
constexpr int defaultBarHeight = 28;

int clampInto(int value, int low, int high) {
    return std::clamp(value, low, std::max(low, high));
}

} // namespace

ScreenEdge nearestEdge(const QRect& anchor, const QRect& screen) {
    QPoint c = anchor.center();
    int top = c.y() - screen.top();
    int bottom = screen.bottom() - c.y();
    int left = c.x() - screen.left();
    int right = screen.right() - c.x();
    int least = std::min({top, bottom, left, right});
    // Horizontal bars are the common case: they win a tie.
    if (least == top)
        return ScreenEdge::top;
    if (least == bottom)
        return ScreenEdge::bottom;
    return least == left ? ScreenEdge::left : ScreenEdge::right;
}

QPoint panelPosition(const QRect& anchor, const QSize& size, const QRect& screen, const QRect& area) {
    QPoint at;
    switch (nearestEdge(anchor, screen)) {
    case ScreenEdge::top:
        at = {anchor.center().x() - size.width() / 2, anchor.bottom() + 1 + gap};
        break;
    case ScreenEdge::bottom:
        at = {anchor.center().x() - size.width() / 2, anchor.top() - gap - size.height()};
        break;
    case ScreenEdge::left:
        at = {anchor.right() + 1 + gap, anchor.center().y() - size.height() / 2};
        break;
    case ScreenEdge::right:
        at = {anchor.left() - gap - size.width(), anchor.center().y() - size.height() / 2};
        break;
    }
    QRect inside = area.adjusted(edgeMargin, edgeMargin, -edgeMargin, -edgeMargin);
    at.setX(clampInto(at.x(), inside.left(), inside.right() + 1 - size.width()));
    at.setY(clampInto(at.y(), inside.top(), inside.bottom() + 1 - size.height()));
    return at;
}

QRect anchorAroundClick(const QPoint& click, const QRect& screen) {
    QRect icon(click.x() - iconSide / 2, click.y() - iconSide / 2, iconSide, iconSide);
    switch (nearestEdge(icon, screen)) {
    case ScreenEdge::top:
        if (click.y() - screen.top() < barReach)
            return QRect(icon.left(), screen.top(), iconSide, 2 * (click.y() - screen.top()) + 1);
        break;
    case ScreenEdge::bottom:
        if (screen.bottom() - click.y() < barReach) {
            int depth = 2 * (screen.bottom() - click.y()) + 1;
            return QRect(icon.left(), screen.bottom() + 1 - depth, iconSide, depth);
        }
        break;
    case ScreenEdge::left:
        if (click.x() - screen.left() < barReach)
            return QRect(screen.left(), icon.top(), 2 * (click.x() - screen.left()) + 1, iconSide);
        break;
    case ScreenEdge::right:
        if (screen.right() - click.x() < barReach) {
            int depth = 2 * (screen.right() - click.x()) + 1;
            return QRect(screen.right() + 1 - depth, icon.top(), depth, iconSide);
        }
        break;
    }
    return icon;
}

QRect likelyTrayFrame(const QRect& screen, const QRect& area) {
    int x = std::max(screen.left(), screen.right() + 1 - trayFromRightEnd);
    if (area.bottom() < screen.bottom() && area.top() == screen.top()) {
        int height = screen.bottom() - area.bottom();
        return QRect(x, area.bottom() + 1, iconSide, height);
    }
    int height = area.top() > screen.top() ? area.top() - screen.top() : defaultBarHeight;
    return QRect(x, screen.top(), iconSide, height);
}

HintPlacement hintPlacement(const QRect& item, const HintShape& shape, const QRect& screen) {
    HintPlacement out;
    int w = shape.window.width();
    int h = shape.window.height();
    // Under an icon in the upper half of the screen, above one in the lower half.
    out.below = item.center().y() < screen.center().y();
    int x = clampInto(item.center().x() - w / 2, screen.left(), screen.right() + 1 - w);
    int y = out.below ? item.bottom() + 1 : item.top() - h;
    y = clampInto(y, screen.top(), screen.bottom() + 1 - h);
    out.topLeft = {x, y};
    // The capsule slides inside the window toward the icon, and the tail leaves its straight edge only
    // when the icon is further out than that.
    double tail = item.center().x() + 0.5 - x;
    double radius = shape.capsuleHeight / 2;
    out.capsuleLeft =
        std::clamp(tail - shape.capsuleWidth / 2, shape.margin, w - shape.margin - shape.capsuleWidth);
    out.tailX = std::clamp(tail, out.capsuleLeft + radius, out.capsuleLeft + shape.capsuleWidth - radius);
    return out;
}

} // namespace brivio
