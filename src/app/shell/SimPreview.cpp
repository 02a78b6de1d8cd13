#include "app/shell/SimPreview.h"

#include "app/shell/QtBrightnessIndicator.h"
#include "platform/sim/SimDesk.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>

namespace brivio {

namespace {

// Forwards to the desk's window and repaints the preview after each change.
class PreviewOverlay final : public OverlayWindow {
public:
    PreviewOverlay(std::unique_ptr<OverlayWindow> inner, QWidget* preview)
        : inner_(std::move(inner)), preview_(preview) {}
    void setFrame(const Rect& frame) override {
        inner_->setFrame(frame);
        repaint();
    }
    void setOpacity(float opacity, bool animated) override {
        inner_->setOpacity(opacity, animated);
        repaint();
    }
    bool hasLayer() const override { return inner_->hasLayer(); }
    void close() override {
        inner_->close();
        repaint();
    }

private:
    void repaint() {
        if (preview_)
            preview_->update();
    }
    std::unique_ptr<OverlayWindow> inner_;
    QPointer<QWidget> preview_;
};

} // namespace

SimPreview::SimPreview(SimDesk& desk, QWidget* parent) : QWidget(parent), desk_(desk) {
    setWindowTitle(QStringLiteral("Brivio — simulated desk"));
    resize(720, 320);
}

std::vector<Screen> SimPreview::screens() {
    return desk_.windowSystem().screens();
}

std::unique_ptr<OverlayWindow> SimPreview::createOverlayWindow(DisplayNumber display, const Rect& frame) {
    auto inner = desk_.windowSystem().createOverlayWindow(display, frame);
    update();
    if (!inner)
        return nullptr;
    return std::make_unique<PreviewOverlay>(std::move(inner), this);
}

Signal<>& SimPreview::screenParametersChanged() {
    return desk_.windowSystem().screenParametersChanged();
}

void SimPreview::show(DisplayNumber display, int filledChiclets, int totalChiclets, int msecUntilFade) {
    desk_.indicator().show(display, filledChiclets, totalChiclets, msecUntilFade);
    indicators_[display] = {filledChiclets, totalChiclets,
                            QDateTime::currentMSecsSinceEpoch() + msecUntilFade};
    update();
    QTimer::singleShot(msecUntilFade + 1, this, qOverload<>(&QWidget::update));
}

void SimPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(40, 42, 48));
    auto all = screens();
    if (all.empty()) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No displays connected"));
        return;
    }
    // Fit the whole desk into the window, keeping proportions.
    double left = 1e18, top = 1e18, right = -1e18, bottom = -1e18;
    for (auto& s : all) {
        left = std::min(left, s.frame.x);
        top = std::min(top, s.frame.y);
        right = std::max(right, s.frame.x + s.frame.width);
        bottom = std::max(bottom, s.frame.y + s.frame.height);
    }
    double margin = 16;
    double scale = std::min((width() - 2 * margin) / std::max(1.0, right - left),
                            (height() - 2 * margin) / std::max(1.0, bottom - top));
    qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    for (auto& s : all) {
        QRectF r(margin + (s.frame.x - left) * scale, margin + (s.frame.y - top) * scale,
                 s.frame.width * scale, s.frame.height * scale);
        r.adjust(2, 2, -2, -2);
        QLinearGradient wallpaper(r.topLeft(), r.bottomRight());
        wallpaper.setColorAt(0, QColor(92, 140, 200));
        wallpaper.setColorAt(1, QColor(220, 170, 120));
        p.fillRect(r, wallpaper);
        p.setPen(Qt::white);
        p.drawText(r.adjusted(8, 6, -8, -6), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromStdString(s.localizedName));
        if (auto overlay = desk_.overlayFor(s.number); overlay && overlay->open)
            p.fillRect(r, QColor(0, 0, 0, int(std::clamp(overlay->opacity, 0.0f, 1.0f) * 255)));
        if (auto it = indicators_.find(s.number); it != indicators_.end() && it->second.untilMs > nowMs) {
            QRectF hud(r.center().x() - 70, r.bottom() - 40, 140, 26);
            QPainterPath path;
            path.addRoundedRect(hud, 8, 8);
            p.fillPath(path, QColor(28, 28, 32, 220));
            paintChiclets(p, hud.adjusted(8, 9, -8, -9), it->second.filled, it->second.total);
        }
    }
}

} // namespace brivio
