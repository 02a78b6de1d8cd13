#include "app/shell/QtBrightnessIndicator.h"

#include "app/shell/QtWindowSystem.h"

#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QTimer>

namespace brivio {

namespace {
constexpr int viewWidth = 200;
constexpr int viewHeight = 44;
constexpr int fadeMs = 300;
} // namespace

void paintChiclets(QPainter& p, const QRectF& area, int filled, int total) {
    if (total <= 0)
        return;
    double gap = 2;
    double w = (area.width() - gap * (total - 1)) / total;
    for (int i = 0; i < total; ++i) {
        QRectF chiclet(area.left() + i * (w + gap), area.top(), w, area.height());
        p.fillRect(chiclet, i < filled ? QColor(255, 255, 255, 230) : QColor(255, 255, 255, 50));
    }
}

class IndicatorView final : public QWidget {
public:
    IndicatorView()
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFixedSize(viewWidth, viewHeight);
        fadeTimer_.setSingleShot(true);
        connect(&fadeTimer_, &QTimer::timeout, this, [this] {
            auto* a = new QPropertyAnimation(this, "windowOpacity", this);
            a->setDuration(fadeMs);
            a->setEndValue(0.0);
            connect(a, &QPropertyAnimation::finished, this, &QWidget::hide);
            a->start(QAbstractAnimation::DeleteWhenStopped);
            fade_ = a;
        });
    }

    void present(int filled, int total, int msecUntilFade) {
        filled_ = filled;
        total_ = total;
        if (fade_)
            fade_->stop();
        setWindowOpacity(1.0);
        show();
        update();
        fadeTimer_.start(std::max(0, msecUntilFade));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(rect(), 12, 12);
        p.fillPath(path, QColor(28, 28, 32, 220));
        paintChiclets(p, QRectF(rect()).adjusted(14, 16, -14, -16), filled_, total_);
    }

private:
    int filled_ = 0;
    int total_ = 16;
    QTimer fadeTimer_;
    QPointer<QPropertyAnimation> fade_;
};

QtBrightnessIndicator::QtBrightnessIndicator(WindowSystem& screens) : screens_(screens) {}

QtBrightnessIndicator::~QtBrightnessIndicator() {
    delete view_.data();
}

void QtBrightnessIndicator::show(DisplayNumber display, int filledChiclets, int totalChiclets,
                                 int msecUntilFade) {
    auto screen = screens_.screenFor(display);
    if (!screen)
        return;
    if (!view_)
        view_ = new IndicatorView;
    // Screen frames are device pixels; Qt places windows in its own, possibly scaled, coordinates.
    QRect f = logicalGeometry(screen->frame);
    view_->move(int(f.x() + (f.width() - viewWidth) / 2), int(f.y() + f.height() * 0.82));
    view_->present(filledChiclets, totalChiclets, msecUntilFade);
}

} // namespace brivio
