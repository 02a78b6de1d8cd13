#include "app/shell/QtWindowSystem.h"

#include "base/Log.h"

#include <QGuiApplication>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QWidget>

namespace brivio {

namespace {

QRect toQRect(const Rect& r) {
    return QRect(int(r.x), int(r.y), int(r.width), int(r.height));
}

class QtOverlayWindow final : public OverlayWindow {
public:
    explicit QtOverlayWindow(const Rect& frame)
        : widget_(new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                                           Qt::X11BypassWindowManagerHint)) {
        widget_->setAttribute(Qt::WA_ShowWithoutActivating);
        widget_->setAttribute(Qt::WA_TransparentForMouseEvents);
        widget_->setAutoFillBackground(true);
        QPalette palette = widget_->palette();
        palette.setColor(QPalette::Window, Qt::black);
        widget_->setPalette(palette);
        widget_->setWindowOpacity(0);
        widget_->setGeometry(toQRect(frame));
        widget_->show();
        widget_->raise();
    }
    ~QtOverlayWindow() override { close(); }

    void setFrame(const Rect& frame) override {
        if (widget_)
            widget_->setGeometry(toQRect(frame));
    }

    void setOpacity(float opacity, bool animated) override {
        if (!widget_)
            return;
        if (animation_)
            animation_->stop();
        if (!animated) {
            widget_->setWindowOpacity(opacity);
            return;
        }
        animation_ = new QPropertyAnimation(widget_, "windowOpacity", widget_);
        animation_->setDuration(350);
        animation_->setEasingCurve(QEasingCurve::InOutQuad);
        animation_->setEndValue(double(opacity));
        animation_->start(QAbstractAnimation::DeleteWhenStopped);
    }

    void close() override {
        if (widget_) {
            widget_->hide();
            widget_->deleteLater();
            widget_.clear();
        }
    }

private:
    QPointer<QWidget> widget_;
    QPointer<QPropertyAnimation> animation_;
};

} // namespace

std::unique_ptr<OverlayWindow> makeQtOverlayWindow(const Rect& frame) {
    return std::make_unique<QtOverlayWindow>(frame);
}

QtWindowSystem::QtWindowSystem(WindowSystem& screens, bool canDim) : screens_(screens), canDim_(canDim) {
    if (!canDim_)
        logInfo(LogCategory::overlay, "No compositor: overlay dimming unavailable, using gamma");
    // Qt hears of screen changes first; the controller re-places its overlays on this notification.
    if (qGuiApp) {
        auto changed = [this] { screens_.screenParametersChanged().emit(); };
        QObject::connect(qGuiApp, &QGuiApplication::screenAdded, &context_, changed);
        QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &context_, changed);
    }
}

std::unique_ptr<OverlayWindow> QtWindowSystem::createOverlayWindow(DisplayNumber, const Rect& frame) {
    if (!canDim_)
        return nullptr;
    return makeQtOverlayWindow(frame);
}

} // namespace brivio
