#pragma once
// Tab order that follows the page as it is drawn, top to bottom: widgets made later (a display card
// that arrived, a section that opened) would otherwise come after everything made before them.

#include <vector>

class QWidget;

namespace brivio {

// The shown, enabled widgets of `page` that Tab reaches, in the order of the layouts that hold them;
// children outside any layout follow their parent's laid-out ones.
std::vector<QWidget*> focusChainAsLaidOut(QWidget& page);
// Moves focus to the one after (or before) the focused one, wrapping around; false when none takes it.
bool moveFocusAsLaidOut(QWidget& page, bool next);

} // namespace brivio
