#pragma once
// The accent colours of the themes and the few fixed colours and sizes the panel's widgets share.

#include "settings/SliderTheme.h"

#include <QColor>
#include <QString>

class QWidget;

namespace brivio {

// "Haze", "Volt", ...
QString themeName(SliderTheme theme);
QColor accentColor(SliderTheme theme, bool dark);
// The accent for the widget's current palette (dark when its window colour is darker than mid-grey).
QColor accentColor(SliderTheme theme, const QWidget& widget);
bool prefersDark(const QWidget& widget);

// The brightness slider's sun.
inline QColor sunColor() {
    return QColor::fromRgbF(1.0f, 0.76f, 0.18f);
}

// A section title: upper case, semibold, letter-spaced by 0.8 points.
void styleSectionTitle(QWidget& label);

} // namespace brivio
