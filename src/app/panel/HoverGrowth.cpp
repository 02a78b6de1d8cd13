#include "app/panel/HoverGrowth.h"

#include "app/panel/Motion.h"

#include <QEvent>
#include <QWidget>
#include <cmath>

namespace brivio {

HoverGrowth::HoverGrowth(QWidget& widget, double grown)
    : QObject(&widget), widget_(widget), grown_(grown), animation_(new SpringAnimation(hoverSpring, this)) {
    widget.installEventFilter(this);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        scale_ = v.toDouble();
        widget_.update();
    });
}

void HoverGrowth::setAllowed(bool allowed) {
    if (allowed_ == allowed)
        return;
    allowed_ = allowed;
    retarget();
}

int HoverGrowth::margin(int extent) const {
    return static_cast<int>(std::ceil(extent * (grown_ - 1.0) / 2.0));
}

bool HoverGrowth::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &widget_ && (event->type() == QEvent::Enter || event->type() == QEvent::Leave)) {
        hovered_ = event->type() == QEvent::Enter;
        retarget();
    }
    return false;
}

void HoverGrowth::retarget() {
    // Reduced motion leaves the growing out; the hover colour still shows where the pointer is.
    double target = hovered_ && allowed_ && !reducedMotion() ? grown_ : 1.0;
    animation_->stop();
    if (!widget_.isVisible() || scale_ == target) {
        scale_ = target;
        widget_.update();
        return;
    }
    // From wherever it is now, so a quick leave turns the growth around smoothly.
    animation_->setStartValue(scale_);
    animation_->setEndValue(target);
    animation_->start();
}

} // namespace brivio
