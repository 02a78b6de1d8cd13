#include "app/shell/QtWindowSystem.h"

#include "base/Log.h"

#include <QGuiApplication>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QWidget>

namespace brivio {

namespace {

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
        widget_->setGeometry(logicalGeometry(frame));
        widget_->show();
        widget_->raise();
    }
    ~QtOverlayWindow() override { close(); }

    void setFrame(const Rect& frame) override {
        if (widget_)
            widget_->setGeometry(logicalGeometry(frame));
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

QRect logicalGeometry(const Rect& r) {
    QPointF topLeft(r.x, r.y);
    QPointF center(r.x + r.width / 2, r.y + r.height / 2);
    for (QScreen* screen : QGuiApplication::screens()) {
        double factor = screen->devicePixelRatio();
        QRect logical = screen->geometry();
        QRectF native(logical.topLeft(), QSizeF(logical.width() * factor, logical.height() * factor));
        if (!native.contains(center))
            continue;
        QPointF origin = logical.topLeft();
        return QRectF(origin + (topLeft - origin) / factor, QSizeF(r.width / factor, r.height / factor))
            .toAlignedRect();
    }
    double factor = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    return QRectF(topLeft / factor, QSizeF(r.width / factor, r.height / factor)).toAlignedRect();
}

QtWindowSystem::QtWindowSystem(WindowSystem& desktop, bool desktopDrawsOverlays, bool canDim)
    : desktop_(desktop), desktopDraws_(desktopDrawsOverlays), canDim_(canDim) {
    if (!desktopDraws_ && !canDim_)
        logInfo(LogCategory::overlay, "No compositor: overlay dimming unavailable, using gamma");
    // Qt hears of screen changes first; the controller re-places its overlays on this notification.
    if (qGuiApp) {
        auto changed = [this] { desktop_.screenParametersChanged().emit(); };
        QObject::connect(qGuiApp, &QGuiApplication::screenAdded, &context_, changed);
        QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &context_, changed);
    }
}

std::optional<std::string> QtWindowSystem::overlayUnavailable(DisplayNumber display) {
    if (desktopDraws_)
        return desktop_.overlayUnavailable(display);
    if (!canDim_)
        return std::string("no compositing manager runs, so a window over the display cannot be see-through");
    return std::nullopt;
}

std::unique_ptr<OverlayWindow> QtWindowSystem::createOverlayWindow(DisplayNumber display, const Rect& frame) {
    if (desktopDraws_)
        return desktop_.createOverlayWindow(display, frame);
    if (!canDim_)
        return nullptr;
    return makeQtOverlayWindow(frame);
}

} // namespace brivio
