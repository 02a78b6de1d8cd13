#include "app/panel/ToggleBarRow.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace brivio {

ToggleBarRow::ToggleBarRow(const QString& label, QWidget* parent)
    : QWidget(parent), label_(new QLabel(label, this)), tint_(QColor(144, 136, 187)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 6, 46, 6);
    layout->addWidget(label_, 1);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setMinimumHeight(30);
    setToolTip(helpText());
}

void ToggleBarRow::setOn(bool on) {
    isOn_ = on;
    setToolTip(helpText());
    update();
}

void ToggleBarRow::setTint(QColor tint) {
    tint_ = tint;
    update();
}

QString ToggleBarRow::label() const {
    return label_->text();
}

QString ToggleBarRow::helpText() const {
    return isOn_ ? QStringLiteral("Tap to disable") : QStringLiteral("Tap to enable");
}

void ToggleBarRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT tapped();
}

void ToggleBarRow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return)
        Q_EMIT tapped();
    else
        QWidget::keyPressEvent(event);
}

void ToggleBarRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor background = isOn_ ? tint_ : palette().color(QPalette::Mid);
    background.setAlphaF(isOn_ ? 0.25f : 0.15f);
    p.setPen(Qt::NoPen);
    p.setBrush(background);
    p.drawRoundedRect(rect().adjusted(0, 0, -1, -1), 8, 8);
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
        p.setPen(Qt::NoPen);
    }
    // The switch at the right end.
    QRectF track(width() - 40, height() / 2.0 - 8, 30, 16);
    p.setBrush(isOn_ ? tint_ : palette().color(QPalette::Mid));
    p.drawRoundedRect(track, 8, 8);
    p.setBrush(Qt::white);
    double knobX = isOn_ ? track.right() - 15 : track.left() + 1;
    p.drawEllipse(QRectF(knobX, track.top() + 1, 14, 14));
}

} // namespace brivio
