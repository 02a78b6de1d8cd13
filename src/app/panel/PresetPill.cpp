#include "app/panel/PresetPill.h"

#include "app/panel/LiteralText.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/SymbolButton.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace brivio {

PresetPill::PresetPill(const BrightnessPreset& preset, QWidget* parent)
    : QWidget(parent), preset_(preset), button_(new QToolButton(this)),
      edit_(symbolButton("pencil", QStringLiteral("PresetEditButton"), QStringLiteral("Edit preset"), this)),
      accent_(144, 136, 187) {
    setObjectName(QStringLiteral("PresetPill"));
    setAttribute(Qt::WA_StyledBackground);
    // Tall enough for its rounded ends: a style sheet draws square corners when the radius is more
    // than half the height.
    setMinimumHeight(28);
    button_->setObjectName(QStringLiteral("PresetPillButton"));
    setLiteralText(*button_, QString::fromStdString(preset.name));
    button_->setIcon(symbolIcon(preset.iconName()));
    button_->setIconSize(QSize(14, 14));
    button_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button_->setAutoRaise(true);
    button_->setCursor(Qt::PointingHandCursor);
    button_->setToolTip(QStringLiteral("Apply to every display"));
    edit_->setIconSize(QSize(11, 11));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 2, 1);
    layout->setSpacing(0);
    layout->addWidget(button_);
    layout->addWidget(edit_);
    connect(button_, &QToolButton::clicked, this, &PresetPill::tapped);
    connect(edit_, &QToolButton::clicked, this, &PresetPill::editRequested);
    updateStyle();
}

void PresetPill::setActive(bool active) {
    if (active_ == active)
        return;
    active_ = active;
    updateStyle();
}

void PresetPill::setAccent(QColor accent) {
    accent_ = accent;
    updateStyle();
}

void PresetPill::updateStyle() {
    QColor background = accent_;
    background.setAlphaF(active_ ? 0.45f : 0.12f);
    setStyleSheet(
        QStringLiteral("#PresetPill { background: %1; border-radius: 13px; border: 1px solid %2; }")
            .arg(background.name(QColor::HexArgb), active_ ? accent_.name() : QStringLiteral("transparent")));
    QFont font = button_->font();
    font.setWeight(active_ ? QFont::DemiBold : QFont::Normal);
    button_->setFont(font);
}

} // namespace brivio
