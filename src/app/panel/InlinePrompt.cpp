#include "app/panel/InlinePrompt.h"

#include "app/panel/PanelTheme.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace brivio {

namespace {

QFont smallMedium(QFont font) {
    font.setPixelSize(11);
    font.setWeight(QFont::Medium);
    return font;
}

QPushButton* textButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(smallMedium(button->font()));
    return button;
}

// Semi-transparent text colours as they come out on `background`.
QColor opaqueOn(QColor color, QColor background) {
    double a = color.alphaF();
    auto mix = [a](double c, double b) { return float(c * a + b * (1 - a)); };
    return QColor::fromRgbF(mix(color.redF(), background.redF()), mix(color.greenF(), background.greenF()),
                            mix(color.blueF(), background.blueF()));
}

void tintText(QWidget& widget, QColor color) {
    widget.setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; padding: 2px 6px; }")
                             .arg(color.name(QColor::HexArgb)));
}

} // namespace

InlinePrompt::InlinePrompt(const QString& secondary, const QString& primary, QWidget* parent)
    : QWidget(parent), message_(new QLabel(this)), detail_(new QLabel(this)),
      secondary_(textButton(secondary, this)), primary_(textButton(primary, this)) {
    QFont font = smallMedium(message_->font());
    // Counting seconds should not make the text jitter.
    font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    message_->setFont(font);
    message_->setWordWrap(true);
    detail_->setFont(smallMedium(detail_->font()));
    detail_->setWordWrap(true);
    detail_->hide();
    // The prompt stands in a display card: its text must read on the card's wash.
    QColor background = cardBackground(*this);
    QColor secondaryColor =
        legibleOn(opaqueOn(palette().color(QPalette::PlaceholderText), background), background, 4.5);
    for (QLabel* label : {message_, detail_}) {
        label->setTextFormat(Qt::PlainText);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, secondaryColor);
        label->setPalette(p);
    }
    tintText(*secondary_, secondaryColor);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(message_, 1);
    row->addWidget(secondary_);
    row->addWidget(primary_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 2, 4, 2);
    column->setSpacing(2);
    column->addLayout(row);
    column->addWidget(detail_);
}

void InlinePrompt::setMessage(const QString& message) {
    message_->setText(message);
}

QString InlinePrompt::message() const {
    return message_->text();
}

void InlinePrompt::setDetail(const QString& detail) {
    detail_->setText(detail);
    detail_->setVisible(!detail.isEmpty());
}

void InlinePrompt::setPrimaryColor(QColor color) {
    tintText(*primary_, legibleOn(color, cardBackground(*this), 4.5));
}

} // namespace brivio
