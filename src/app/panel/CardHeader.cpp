#include "app/panel/CardHeader.h"

#include "app/panel/PanelTheme.h"
#include "app/panel/SymbolButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace brivio {

CardHeader::CardHeader(const QString& title, const QString& prefix, const QString& addToolTip,
                       QWidget* parent)
    : QWidget(parent), title_(new QLabel(title, this)),
      add_(symbolButton("plus", prefix + QStringLiteral("AddButton"), addToolTip, this)),
      chevron_(symbolButton("chevron.down", prefix + QStringLiteral("Chevron"), QString(), this)),
      addToolTip_(addToolTip) {
    styleSectionTitle(*title_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(title_, 1);
    layout->addWidget(add_);
    layout->addWidget(chevron_);
    connect(add_, &QToolButton::clicked, this, &CardHeader::addTapped);
    connect(chevron_, &QToolButton::clicked, this, &CardHeader::chevronTapped);
}

void CardHeader::setExpanded(bool expanded) {
    setButtonSymbol(*chevron_, expanded ? "chevron.up" : "chevron.down");
    chevron_->setToolTip(expanded ? QStringLiteral("Collapse") : QStringLiteral("Expand"));
}

void CardHeader::setAddAvailable(bool visible, bool enabled, const QString& toolTip) {
    add_->setVisible(visible);
    add_->setEnabled(enabled);
    add_->setToolTip(toolTip.isEmpty() ? addToolTip_ : toolTip);
}

} // namespace brivio
