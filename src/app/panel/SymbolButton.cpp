#include "app/panel/SymbolButton.h"

#include "app/panel/PanelSymbols.h"

#include <QToolButton>

namespace brivio {

QToolButton* symbolButton(std::string_view symbol, const QString& objectName, const QString& toolTip,
                          QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    button->setIconSize(QSize(14, 14));
    button->setCursor(Qt::PointingHandCursor);
    setButtonSymbol(*button, symbol);
    return button;
}

void setButtonSymbol(QToolButton& button, std::string_view symbol) {
    button.setIcon(symbolIcon(symbol));
}

} // namespace brivio
