#include "app/panel/PanelTheme.h"

#include <QFont>
#include <QPalette>
#include <QWidget>

namespace brivio {

namespace {

struct ThemeColours {
    const char* name;
    QRgb light;
    QRgb dark;
};

ThemeColours colours(SliderTheme theme) {
    switch (theme) {
    case SliderTheme::haze:
        return {"Haze", qRgb(144, 136, 187), qRgb(178, 164, 227)};
    case SliderTheme::volt:
        return {"Volt", qRgb(112, 176, 66), qRgb(131, 201, 87)};
    case SliderTheme::slate:
        return {"Slate", qRgb(138, 138, 142), qRgb(163, 165, 170)};
    case SliderTheme::alpine:
        return {"Alpine", qRgb(114, 153, 127), qRgb(130, 182, 148)};
    case SliderTheme::shore:
        return {"Shore", qRgb(104, 153, 170), qRgb(114, 179, 199)};
    case SliderTheme::clay:
        return {"Clay", qRgb(184, 135, 110), qRgb(208, 151, 120)};
    case SliderTheme::nordic:
        return {"Nordic", qRgb(112, 136, 184), qRgb(130, 158, 212)};
    }
    return {"Haze", qRgb(144, 136, 187), qRgb(178, 164, 227)};
}

} // namespace

QString themeName(SliderTheme theme) {
    return QString::fromLatin1(colours(theme).name);
}

QColor accentColor(SliderTheme theme, bool dark) {
    auto c = colours(theme);
    return QColor(dark ? c.dark : c.light);
}

bool prefersDark(const QWidget& widget) {
    return widget.palette().color(QPalette::Window).lightness() < 128;
}

QColor accentColor(SliderTheme theme, const QWidget& widget) {
    return accentColor(theme, prefersDark(widget));
}

void styleSectionTitle(QWidget& label) {
    QFont font = label.font();
    font.setCapitalization(QFont::AllUppercase);
    font.setWeight(QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    label.setFont(font);
}

} // namespace brivio
