#include "app/shell/HintBubble.h"

#include "app/panel/Motion.h"
#include "app/shell/TrayPlacement.h"

#include <QApplication>
#include <QBitmap>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QVariantAnimation>
#include <QWidget>
#include <cmath>

namespace brivio {

namespace {

constexpr int panelWidth = 186;
constexpr int panelHeight = 75;
constexpr double capsuleWidth = 150;
constexpr double capsuleHeight = 39;
constexpr double tailHeight = 7;
constexpr double tailWidth = 12;
// The tail's tip keeps this far from the icon.
constexpr double tipGap = 4;
constexpr double maxDrift = 3;
constexpr double glowWidth = 3;
constexpr int pulseMs = 1600;
constexpr int driftMs = 3000;

const HintShape bubbleShape{QSize(panelWidth, panelHeight), capsuleWidth, capsuleHeight, glowWidth + 1};

// 0 → 1 → 0 with ease-in-out each way, forever: one half of the loop out, the other back.
QVariantAnimation* backAndForth(QObject* parent, int halfMs) {
    auto* animation = new QVariantAnimation(parent);
    animation->setStartValue(0.0);
    animation->setEndValue(2.0);
    animation->setDuration(2 * halfMs);
    animation->setLoopCount(-1);
    return animation;
}

double eased(const QVariantAnimation& animation) {
    if (animation.state() != QAbstractAnimation::Running)
        return 0.0;
    double v = animation.currentValue().toDouble();
    return QEasingCurve(QEasingCurve::InOutSine).valueForProgress(v <= 1.0 ? v : 2.0 - v);
}

class BubbleView final : public QWidget {
public:
    BubbleView(const HintPlacement& placement, bool composited)
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
          placement_(placement), pulse_(backAndForth(this, pulseMs)), drift_(backAndForth(this, driftMs)) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_DeleteOnClose);
        setFixedSize(panelWidth, panelHeight);
        if (!composited)
            setMask(reach());
        for (auto* animation : {pulse_, drift_})
            connect(animation, &QVariantAnimation::valueChanged, this, [this] { update(); });
        if (!reducedMotion()) {
            pulse_->start();
            drift_->start();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path = shape(maxDrift * eased(*drift_));
        // The pulse: a soft ring that swells and fades around the capsule.
        double pulse = eased(*pulse_);
        if (pulse > 0) {
            QColor glow(150, 140, 230, int(110 * pulse));
            p.strokePath(path, QPen(glow, 2 * glowWidth * pulse, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
        p.fillPath(path, QColor(30, 30, 34, 235));
        QFont font = p.font();
        font.setPixelSize(12);
        font.setWeight(QFont::Medium);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(capsule(maxDrift * eased(*drift_)), Qt::AlignCenter, QStringLiteral("Brivio is here"));
    }

private:
    // The capsule, moved `drift` away from the icon.
    QRectF capsule(double drift) const {
        double top = placement_.below ? tipGap + tailHeight + drift
                                      : height() - tipGap - tailHeight - capsuleHeight - drift;
        return {placement_.capsuleLeft, top, capsuleWidth, capsuleHeight};
    }

    QPainterPath shape(double drift) const {
        QRectF body = capsule(drift);
        QPainterPath path;
        path.addRoundedRect(body, capsuleHeight / 2, capsuleHeight / 2);
        QPainterPath tail;
        double x = placement_.tailX;
        // The tail overlaps the capsule by a pixel so that they join without a seam.
        double base = placement_.below ? body.top() + 1 : body.bottom() - 1;
        double tip = placement_.below ? body.top() - tailHeight : body.bottom() + tailHeight;
        tail.moveTo(x - tailWidth / 2, base);
        tail.lineTo(x, tip);
        tail.lineTo(x + tailWidth / 2, base);
        tail.closeSubpath();
        return path.united(tail);
    }

    // Everything the bubble may cover while it drifts and pulses.
    QBitmap reach() const {
        QBitmap bits(size());
        bits.fill(Qt::color0);
        QPainter p(&bits);
        QPen pen(Qt::color1, 2 * glowWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        for (double drift = 0; drift <= maxDrift; drift += 0.5) {
            QPainterPath path = shape(drift);
            p.fillPath(path, Qt::color1);
            p.strokePath(path, pen);
        }
        return bits;
    }

    HintPlacement placement_;
    QVariantAnimation* pulse_;
    QVariantAnimation* drift_;
};

void fade(QWidget* window, double to, int ms, QEasingCurve curve, bool closeAfter) {
    auto* animation = new QPropertyAnimation(window, "windowOpacity", window);
    animation->setDuration(ms);
    animation->setEndValue(to);
    animation->setEasingCurve(curve);
    if (closeAfter)
        QObject::connect(animation, &QPropertyAnimation::finished, window, &QWidget::close);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

HintBubble::HintBubble(std::function<std::optional<QRect>()> itemFrame, bool composited, QObject* parent)
    : QObject(parent), itemFrame_(std::move(itemFrame)), composited_(composited) {}

HintBubble::~HintBubble() {
    if (window_)
        window_->close();
}

std::optional<Rect> HintBubble::statusItemFrame() {
    auto frame = itemFrame_ ? itemFrame_() : std::nullopt;
    if (!frame || frame->isEmpty())
        return std::nullopt;
    return Rect{double(frame->x()), double(frame->y()), double(frame->width()), double(frame->height())};
}

void HintBubble::showBubble(const Rect& item, std::function<void()> onClick) {
    if (window_)
        return;
    QRect icon(int(std::lround(item.x)), int(std::lround(item.y)), int(std::lround(item.width)),
               int(std::lround(item.height)));
    QScreen* screen = QGuiApplication::screenAt(icon.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QRect bounds = screen ? screen->geometry() : QRect(0, 0, 1280, 800);
    HintPlacement placement = hintPlacement(icon, bubbleShape, bounds);
    auto* view = new BubbleView(placement, composited_);
    view->move(placement.topLeft);
    view->setWindowOpacity(0);
    view->show();
    fade(view, 1.0, 300, QEasingCurve::OutCubic, false);
    window_ = view;
    onClick_ = std::move(onClick);
    qApp->installEventFilter(this);
}

void HintBubble::hideBubble() {
    qApp->removeEventFilter(this);
    onClick_ = nullptr;
    if (QWidget* window = window_.data()) {
        window_.clear();
        fade(window, 0.0, 200, QEasingCurve::InCubic, true);
    }
}

bool HintBubble::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && onClick_) {
        auto click = onClick_;
        click();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace brivio
