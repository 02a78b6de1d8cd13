#pragma once
// Closing an inline editor that holds the keyboard focus: the focus goes to a chosen widget (the
// card's own button) first. Left to Qt, it would move to the next widget in the tab chain and the
// page would scroll there.

class QWidget;

namespace brivio {

// Hides `widget`; focus inside it moves to `anchor` (when given and shown) without scrolling the page.
void hideHandingFocusTo(QWidget& widget, QWidget* anchor);

} // namespace brivio
