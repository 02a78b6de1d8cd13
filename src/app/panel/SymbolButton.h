#pragma once
// A flat, icon-only button drawn with one of the panel's symbols, as the cards use for add, edit,
// delete and the chevrons.

#include <QString>
#include <string_view>

class QToolButton;
class QWidget;

namespace brivio {

QToolButton* symbolButton(std::string_view symbol, const QString& objectName, const QString& toolTip,
                          QWidget* parent);
// Swaps the drawing, for buttons whose symbol follows a state (the chevrons).
void setButtonSymbol(QToolButton& button, std::string_view symbol);

} // namespace brivio
