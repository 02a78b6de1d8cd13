#pragma once
// A button that grows a little while the pointer is over it, on a spring: the owner paints itself
// scaled by `scale()` about its centre and decides when growing is allowed.

#include <QObject>

class QWidget;

namespace brivio {

class SpringAnimation;

class HoverGrowth final : public QObject {
public:
    // Watches `widget`'s enter and leave events; `grown` is the scale while hovered (1.02 is 2 % larger).
    HoverGrowth(QWidget& widget, double grown);

    double scale() const { return scale_; }
    // Not allowed: back to 1 (a disabled power button, a recorder that is recording).
    void setAllowed(bool allowed);
    // The room to leave on each side so the grown drawing still fits in the widget.
    int margin(int extent) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void retarget();

    QWidget& widget_;
    double grown_;
    double scale_ = 1.0;
    bool hovered_ = false;
    bool allowed_ = true;
    SpringAnimation* animation_;
};

} // namespace brivio
