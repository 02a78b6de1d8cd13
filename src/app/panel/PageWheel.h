#pragma once
// The mouse wheel scrolls the page, not the value under the pointer: a slider, list or number field
// takes the wheel only once it has keyboard focus (a click or Tab gives it that).

class QWidget;

namespace brivio {

// Makes `control` pass wheel events on to the page until it has focus; the wheel no longer gives it
// focus either.
void letWheelScrollPage(QWidget& control);

} // namespace brivio
