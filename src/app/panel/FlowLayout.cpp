#include "app/panel/FlowLayout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

namespace brivio {

FlowLayout::FlowLayout(QWidget* parent, int spacing) : QLayout(parent), spacing_(spacing) {
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    for (QLayoutItem* item : items_)
        delete item;
}

void FlowLayout::insertWidget(int index, QWidget* widget) {
    addChildWidget(widget);
    index = std::clamp(index, 0, count());
    items_.insert(items_.begin() + index, new QWidgetItem(widget));
    invalidate();
}

void FlowLayout::addItem(QLayoutItem* item) {
    items_.push_back(item);
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return index >= 0 && index < count() ? items_[std::size_t(index)] : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = items_[std::size_t(index)];
    items_.erase(items_.begin() + index);
    return item;
}

int FlowLayout::heightForWidth(int width) const {
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::sizeHint() const {
    // As wide as one line of everything; the height follows the width the parent gives.
    int width = 0;
    int height = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        QSize hint = item->sizeHint();
        width += (width > 0 ? spacing_ : 0) + hint.width();
        height = std::max(height, hint.height());
    }
    QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

QSize FlowLayout::minimumSize() const {
    QSize size;
    for (QLayoutItem* item : items_)
        size = size.expandedTo(item->minimumSize());
    QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool apply) const {
    QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int lineHeight = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        QSize hint = item->sizeHint();
        // A new line when this one would cross the right edge (a line always takes one item).
        if (x > area.x() && x + hint.width() > area.right() + 1) {
            x = area.x();
            y += lineHeight + spacing_;
            lineHeight = 0;
        }
        if (apply)
            item->setGeometry(
                QRect(QPoint(x, y), QSize(std::min(hint.width(), area.width()), hint.height())));
        x += hint.width() + spacing_;
        lineHeight = std::max(lineHeight, hint.height());
    }
    QMargins m = contentsMargins();
    return y + lineHeight - rect.y() + m.bottom();
}

} // namespace brivio
