#include "app/panel/FocusHandOff.h"

#include <QApplication>
#include <QWidget>

namespace brivio {

void hideHandingFocusTo(QWidget& widget, QWidget* anchor) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && widget.isAncestorOf(focus)) {
        if (anchor && anchor->isVisible() && anchor->isEnabled())
            anchor->setFocus(Qt::OtherFocusReason);
        else
            focus->clearFocus();
    }
    widget.hide();
}

} // namespace brivio
