#include "app/shell/HintBubble.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QSystemTrayIcon>
#include <QWidget>

namespace brivio {

namespace {

constexpr int panelWidth = 186;
constexpr int panelHeight = 75;
constexpr int capsuleWidth = 150;
constexpr int capsuleHeight = 39;
constexpr int tailHeight = 7;
constexpr int tailWidth = 12;

class BubbleView final : public QWidget {
public:
    BubbleView()
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_DeleteOnClose);
        setFixedSize(panelWidth, panelHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QRectF capsule((width() - capsuleWidth) / 2.0, tailHeight + 4, capsuleWidth, capsuleHeight);
        QPainterPath path;
        path.addRoundedRect(capsule, capsuleHeight / 2.0, capsuleHeight / 2.0);
        QPainterPath tail;
        double cx = width() / 2.0;
        tail.moveTo(cx - tailWidth / 2.0, capsule.top() + 1);
        tail.lineTo(cx, capsule.top() - tailHeight);
        tail.lineTo(cx + tailWidth / 2.0, capsule.top() + 1);
        tail.closeSubpath();
        path = path.united(tail);
        p.fillPath(path, QColor(30, 30, 34, 235));
        QFont font = p.font();
        font.setPixelSize(12);
        font.setWeight(QFont::Medium);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(capsule, Qt::AlignCenter, QStringLiteral("Brivio is here"));
    }
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

HintBubble::HintBubble(QSystemTrayIcon* tray, QObject* parent) : QObject(parent), tray_(tray) {}

HintBubble::~HintBubble() {
    if (window_)
        window_->close();
}

std::optional<Rect> HintBubble::statusItemFrame() {
    if (!tray_ || !tray_->isVisible())
        return std::nullopt;
    QRect g = tray_->geometry();
    if (!g.isValid() || g.isEmpty())
        return std::nullopt;
    return Rect{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
}

void HintBubble::showBubble(const Rect& item, std::function<void()> onClick) {
    if (window_)
        return;
    auto* view = new BubbleView;
    // Centred under the icon; the tail reaches up to it.
    int x = int(item.x + item.width / 2 - panelWidth / 2.0);
    int y = int(item.y + item.height + 1);
    view->move(x, y);
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
