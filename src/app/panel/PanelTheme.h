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

// The contrast ratio of two colours, 1 (same luminance) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);
// `color` darkened (on a light background) or lightened (on a dark one) until it stands out from
// `background` by at least `ratio`: 4.5 for text, 3 for fills and outlines.
QColor legibleOn(const QColor& color, const QColor& background, double ratio);
// Black or white, whichever reads better on `fill`.
QColor textOn(const QColor& fill);
// What a card of the main page is drawn on: the window with a light grey wash.
QColor cardBackground(const QWidget& widget);

} // namespace brivio
