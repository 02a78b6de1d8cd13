#include "app/panel/CCSlider.h"

#include "app/panel/PageWheel.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/PanelTheme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

namespace brivio {

namespace {

constexpr int steps = 1000;
// Arrow keys move by 1 %, Page Up and Down by 10 %.
constexpr int arrowStep = steps / 100;
constexpr int pageStep = steps / 10;

// The track, with a ring around it while it has keyboard focus (the style sheet draws none).
class LevelTrack final : public QSlider {
public:
    explicit LevelTrack(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QSlider::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        QRectF ring = QRectF(rect()).adjusted(1, 1, -1, -1);
        p.drawRoundedRect(ring, ring.height() / 2, ring.height() / 2);
    }
};

} // namespace

CCSlider::CCSlider(std::string_view icon, QColor iconColor, QWidget* parent)
    : QWidget(parent), slider_(new LevelTrack(this)), icon_(new QLabel(this)), percentage_(new QLabel(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    // The symbol keeps its own colour: the bundled drawing is grey, so tint it.
    QPixmap pixmap = symbolIcon(icon).pixmap(16, 16);
    if (iconColor.isValid() && !pixmap.isNull()) {
        QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                QColor c = iconColor;
                c.setAlpha(qAlpha(image.pixel(x, y)));
                image.setPixelColor(x, y, c);
            }
        pixmap = QPixmap::fromImage(image);
    }
    icon_->setPixmap(pixmap);
    slider_->setRange(0, steps);
    slider_->setSingleStep(arrowStep);
    slider_->setPageStep(pageStep);
    letWheelScrollPage(*slider_);
    slider_->setFixedHeight(trackH);
    slider_->installEventFilter(this);
    percentage_->setMinimumWidth(percentage_->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
    percentage_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(icon_);
    layout->addWidget(slider_, 1);
    layout->addWidget(percentage_);
    connect(slider_, &QSlider::sliderPressed, this, [this] { isDragging_ = true; });
    connect(slider_, &QSlider::sliderReleased, this, [this] { isDragging_ = false; });
    connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        updateLabel();
        if (reporting_)
            Q_EMIT dragged(fromSteps(v));
    });
    updateStyle();
    updateLabel();
}

double CCSlider::fromSteps(int s) const {
    return lo_ + (hi_ - lo_) * s / steps;
}

int CCSlider::toSteps(double value) const {
    if (hi_ <= lo_)
        return 0;
    return static_cast<int>(std::lround(std::clamp((value - lo_) / (hi_ - lo_), 0.0, 1.0) * steps));
}

double CCSlider::value() const {
    return fromSteps(slider_->value());
}

void CCSlider::setValue(double value) {
    if (isDragging_)
        return;
    reporting_ = false;
    slider_->setValue(toSteps(value));
    reporting_ = true;
    updateLabel();
}

void CCSlider::setRange(double lo, double hi) {
    double v = value();
    lo_ = lo;
    hi_ = hi;
    setValue(v);
}

void CCSlider::setTheme(SliderTheme theme) {
    theme_ = theme;
    updateStyle();
}

void CCSlider::setShowsPercentage(bool shows) {
    percentage_->setVisible(shows);
}

QString CCSlider::percentageText() const {
    return QString::asprintf("%lld%%", static_cast<long long>(std::llround(value() * 100.0)));
}

void CCSlider::dragTo(double value) {
    slider_->setValue(toSteps(value));
}

void CCSlider::jumpTo(double value) {
    reporting_ = false;
    slider_->setValue(toSteps(value));
    reporting_ = true;
    Q_EMIT jumpedTo(fromSteps(slider_->value()));
}

bool CCSlider::eventFilter(QObject* watched, QEvent* event) {
    if (watched == slider_ && event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        QStyleOptionSlider option;
        option.initFrom(slider_);
        option.orientation = Qt::Horizontal;
        option.minimum = slider_->minimum();
        option.maximum = slider_->maximum();
        option.sliderPosition = slider_->value();
        option.sliderValue = slider_->value();
        QRect handle =
            slider_->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider_);
        if (press->button() == Qt::LeftButton && !handle.contains(press->position().toPoint())) {
            double fraction = std::clamp(press->position().x() / std::max(1, slider_->width()), 0.0, 1.0);
            jumpTo(lo_ + (hi_ - lo_) * fraction);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CCSlider::updateStyle() {
    // The level is the white part; the rest of the track is the theme's accent, lighter.
    QColor accent = accentColor(theme_, *this);
    QColor track = accent;
    track.setAlphaF(0.45f);
    slider_->setStyleSheet(
        QStringLiteral(
            "QSlider::groove:horizontal { height: %1px; border-radius: %2px; "
            "background: %3; }"
            "QSlider::sub-page:horizontal { border-radius: %2px; background: white; border: 1px solid %6; }"
            "QSlider::handle:horizontal { width: %4px; margin: 0; border-radius: "
            "%5px; background: white; border: 1px solid %6; }")
            .arg(trackH)
            .arg(trackH / 2)
            .arg(track.name(QColor::HexArgb))
            .arg(thumbD)
            .arg(thumbD / 2)
            .arg(accent.darker(130).name()));
}

void CCSlider::updateLabel() {
    percentage_->setText(percentageText());
}

} // namespace brivio
